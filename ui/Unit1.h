#ifndef ORVANTOR_UI_UNIT1_H_
#define ORVANTOR_UI_UNIT1_H_

// The main window: every setting of a conversion, the two lists with their
// load and save buttons, the choice of the three files, and the host of the
// conversion run that "convert !" starts.

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include <QWidget>

#include "engine/host.h"
#include "engine/line_list.h"
#include "engine/run.h"
#include "engine/world.h"
#include "ui/cgauge.h"
#include "ui/status_bar.h"
#include "ui/window_services.h"

class QCheckBox;
class QCloseEvent;
class QDragEnterEvent;
class QDropEvent;
class QMimeData;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSlider;

// The stores of the process: created empty on first use, before the window,
// and never destroyed. Every later request returns the same stores.
orv::World& ProgramStores();

class TForm1 : public QWidget, public orv::RunHost {
  Q_OBJECT

 public:
  // The window works on `world` (the stores) and asks `services` for every
  // dialog, message box, file query and the power-off.
  TForm1(orv::World& world, orv::ui::WindowServices& services, QWidget* parent = nullptr);
  ~TForm1() override;

  // The controls, in the order of the window from top to bottom; each
  // carries its name as its Qt object name.
  QLabel* Label4;
  QLineEdit* Edit1;
  QPushButton* Button1;
  QLabel* Label3;
  QLineEdit* Edit2;
  QPushButton* Button2;
  QLabel* Label2;
  QLineEdit* Edit3;
  QPushButton* Button3;
  QCheckBox* CheckBox4;
  QCheckBox* CheckBox3;
  QCheckBox* CheckBox5;
  QCheckBox* CheckBox6;
  QLabel* Label1;
  QLabel* Label5;
  QLabel* Label6;
  QSlider* TrackBar1;
  QPushButton* BitBtn3;
  QPushButton* BitBtn2;
  QCheckBox* CheckBox2;
  QPushButton* BitBtn5;
  QPushButton* BitBtn4;
  QCheckBox* CheckBox1;
  QPlainTextEdit* Memo4;
  QPlainTextEdit* Memo5;
  QPushButton* BitBtn1;
  TCGauge* ProgressBar1;
  TStatusBar* StatusBar1;

  // The seven file dialogs with the file names they hold.
  orv::ui::FileDialog OpenDialog1;  // source world save (Button1)
  orv::ui::FileDialog SaveDialog4;  // target world file (Button2)
  orv::ui::FileDialog SaveDialog3;  // target character file (Button3)
  orv::ui::FileDialog OpenDialog2;  // load the position list (BitBtn3)
  orv::ui::FileDialog SaveDialog1;  // save the position list (BitBtn2)
  orv::ui::FileDialog OpenDialog3;  // load the illegal-item list (BitBtn5)
  orv::ui::FileDialog SaveDialog2;  // save the illegal-item list (BitBtn4)

  // The colours of a list box that is off and on.
  static QColor MenuColor();
  static QColor WindowColor();

  // The lines of a list box, one entry a line, and back. Each character of
  // the box is one byte (Latin-1 both ways), so every 8-bit value that a list
  // file holds comes back unchanged.
  static orv::LineList MemoLines(const QPlainTextEdit& memo);
  static void SetMemoLines(QPlainTextEdit& memo, const orv::LineList& lines);

  // Whether a conversion is running (between "convert !" and its end).
  bool Running() const { return running_; }
  // The outcome of the last run that "convert !" started.
  orv::RunStatus LastRunStatus() const { return last_status_; }
  // Called at the start of every pump of a run, before the waiting messages
  // are served: lets a test act as a user in the middle of a run.
  void SetPumpObserver(std::function<void()> observer) { pump_observer_ = std::move(observer); }

  // The widget of a control that a run locks and unlocks.
  QWidget* ControlWidget(orv::Control c) const;

 public slots:
  void FormCreate();
  void FormClose();
  void CheckBox1Click();
  void CheckBox2Click();
  void CheckBox4Click();
  void BitBtn1Click();
  void BitBtn2Click();
  void BitBtn3Click();
  void BitBtn4Click();
  void BitBtn5Click();
  void Button1Click();
  void Button2Click();
  void Button3Click();

 public:
  // orv::RunHost: the window as the host of a conversion run.
  std::string SourceFileName() override { return OpenDialog1.FileName; }
  std::string WorldFileName() override { return SaveDialog4.FileName; }
  std::string CharFileName() override { return SaveDialog3.FileName; }
  bool Checked(orv::Switch s) override;
  orv::LineList PositionList() override;
  orv::LineList IllegalList() override;
  int Position() override;
  std::string Caption() override;
  void SetStatus(std::string_view text) override;
  void SetProgress(int value) override;
  void SetProgressRepeated(int value, std::uint64_t times) override {
    if (times != 0) SetProgress(value);
  }
  void ProcessMessages() override;
  void Refresh() override;
  bool CancelRequested() override { return close_pending_; }
  void SetEnabled(orv::Control c, bool enabled) override;
  int MessageBox(std::string_view text, std::string_view caption, int style) override;
  bool FileExists(const std::string& path) override;
  void ShutDownPC() override;
  void ReportError(std::string_view message) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  // A world save dropped on the window chooses the source, as "Browse..."
  // does after its dialog; refused while the source cannot be chosen.
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateControls();
  void FitFontToLayout();
  void SetTabOrder();
  void CentreOnDesktop();
  // The list switch rule shared by CheckBox1 and CheckBox2.
  static void SwitchList(bool on, QPushButton* first, QPushButton* second, QPlainTextEdit* memo);
  // Shows `dialog` in the folder of the file last chosen in any dialog of
  // the window. On confirmation the dialog holds the chosen file name, and
  // its folder is where the next dialog opens; returns whether confirmed.
  bool AskFileName(orv::ui::FileDialog& dialog, bool save);
  // The source choice after its dialog (or a drop): `path` becomes the
  // source, and what the last run left in memory is released.
  void ChooseSource(const std::string& path);
  // The one world save that `data` carries, when the source may be chosen
  // now; else empty.
  std::string DroppedSource(const QMimeData* data) const;
  void LoadList(orv::ui::FileDialog& dialog, QPlainTextEdit* memo);
  void SaveList(orv::ui::FileDialog& dialog, const QPlainTextEdit* memo);
  void ChooseTarget(orv::ui::FileDialog& dialog, QLineEdit* box, QLineEdit* other1,
                    QLineEdit* other2);
  void RefuseTarget(orv::ui::FileDialog& dialog, QLineEdit* box);
  // A modal message box of the window; returns the button chosen.
  int ShowBox(std::string_view text, std::string_view caption, int style);
  void ShowError(std::string_view text);

  orv::World& world_;
  orv::ui::WindowServices& services_;
  bool running_ = false;
  bool close_pending_ = false;
  orv::RunStatus last_status_ = orv::RunStatus::kCompleted;
  // The folder of the file last chosen in a dialog or dropped: every dialog
  // opens there. Empty until the first choice; never kept past the process.
  std::string last_folder_;
  std::function<void()> pump_observer_;
  // When the window last served its events and was last repainted by a pump.
  std::chrono::steady_clock::time_point last_events_{};
  std::chrono::steady_clock::time_point last_repaint_{};
};

// The program's one window, while the program runs.
extern TForm1* Form1;

#endif  // ORVANTOR_UI_UNIT1_H_
