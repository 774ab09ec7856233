#ifndef ORVANTOR_ENGINE_HOST_H_
#define ORVANTOR_ENGINE_HOST_H_

// What a conversion needs from whoever runs it: the window, the command line
// or a test. The engine asks at the moment it needs a value (the slider at
// every pump, "turn off PC when done" only at the end) and never touches a
// widget itself.

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/caption.h"
#include "engine/line_list.h"

namespace orv {

// The window's switches, named after their check boxes.
enum class Switch {
  kIllegalItems,         // CheckBox1 "illegal items:"
  kMoveChars,            // CheckBox2 "move chars"
  kShrinkPets,           // CheckBox3 "shrink pets"
  kDeleteNpcs,           // CheckBox4 "delete NPCs"
  kDeleteRespawnPoints,  // CheckBox5 "delete respawn points"
  kTurnOffPc,            // CheckBox6 "turn off PC when done"
};

// The controls that a run locks and unlocks.
enum class Control {
  BitBtn1,
  BitBtn2,
  BitBtn3,
  BitBtn4,
  BitBtn5,
  CheckBox1,
  CheckBox2,
  CheckBox3,
  CheckBox4,
  CheckBox5,
  Button1,
  Button2,
  Button3,
  Memo4,
  Memo5,
};

const char* ControlName(Control c);

// Message box styles and answers, with the values of the window system.
inline constexpr int kMbOk = 0;
inline constexpr int kMbOkCancel = 1;
inline constexpr int kMbIconHand = 16;
inline constexpr int kMbIconQuestion = 32;
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

class RunHost {
 public:
  virtual ~RunHost() = default;

  // The three file names held by the dialogs: OpenDialog1 (source),
  // SaveDialog4 (world file) and SaveDialog3 (character file).
  virtual std::string SourceFileName() = 0;
  virtual std::string WorldFileName() = 0;
  virtual std::string CharFileName() = 0;

  virtual bool Checked(Switch s) = 0;
  // The lines of Memo4 (character positions) and Memo5 (illegal items).
  virtual LineList PositionList() = 0;
  virtual LineList IllegalList() = 0;
  // The Position of the "process priority" slider, 1 to 500.
  virtual int Position() = 0;
  // The window caption, written into the first line of both files.
  virtual std::string Caption() = 0;

  // The first panel of the status bar.
  virtual void SetStatus(std::string_view text) = 0;
  // The gauge; values above 100 show as a full gauge.
  virtual void SetProgress(int value) = 0;
  // The same as `times` calls of SetProgress(value) in a row, which a walk
  // replayed after its work makes by the million; a host that only keeps
  // the latest value sets it once.
  virtual void SetProgressRepeated(int value, std::uint64_t times) {
    for (; times > 0; --times) SetProgress(value);
  }
  // Serve the window's waiting messages, then repaint it.
  virtual void ProcessMessages() = 0;
  virtual void Refresh() = 0;
  // Whether the run should stop at this pump (the window is closing).
  virtual bool CancelRequested() { return false; }

  virtual void SetEnabled(Control c, bool enabled) = 0;
  // A modal message box; returns the button chosen (kIdOk, kIdCancel).
  virtual int MessageBox(std::string_view text, std::string_view caption, int style) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Asks for the power-off; returns whether or not it was granted.
  virtual void ShutDownPC() = 0;
  // A run failed (the source unreadable, a target not written): tell the
  // user. The targets are as they were.
  virtual void ReportError(std::string_view message) = 0;
  // One line worth telling that changes nothing about the run (temporary
  // files of an earlier, killed run removed). Written to stderr by default.
  virtual void Notice(std::string_view line);
};

// A host with no window and no files of its own, for runs made in memory
// (tests, benchmarks, fuzzing): the window calls do nothing, a message box
// answers OK, every file exists, and there are no names, lists or switches
// until a subclass gives them.
class SilentHost : public RunHost {
 public:
  std::string SourceFileName() override { return {}; }
  std::string WorldFileName() override { return {}; }
  std::string CharFileName() override { return {}; }
  bool Checked(Switch) override { return false; }
  LineList PositionList() override { return {}; }
  LineList IllegalList() override { return {}; }
  int Position() override { return 250; }
  std::string Caption() override { return std::string(kCaption); }
  void SetStatus(std::string_view) override {}
  void SetProgress(int) override {}
  void SetProgressRepeated(int, std::uint64_t) override {}
  void ProcessMessages() override {}
  void Refresh() override {}
  void SetEnabled(Control, bool) override {}
  int MessageBox(std::string_view, std::string_view, int) override { return kIdOk; }
  bool FileExists(const std::string&) override { return true; }
  void ShutDownPC() override {}
  void ReportError(std::string_view) override {}
};

}  // namespace orv

#endif  // ORVANTOR_ENGINE_HOST_H_
