#ifndef ORVANTOR_UI_TESTS_WINDOW_FIXTURE_H_
#define ORVANTOR_UI_TESTS_WINDOW_FIXTURE_H_

// What the window tests share: a window on its own stores with scripted
// services, a scratch folder, and small world saves written on the spot.

#include <memory>
#include <string>

#include <QTemporaryDir>

#include "engine/world.h"
#include "ui/Unit1.h"
#include "ui/tests/scripted_services.h"

struct WorldShape {
  int players = 3;           // player characters
  bool backpacks = true;     // each player holds a backpack
  int items_per_player = 2;  // items in each backpack
  int npcs = 2;              // NPCs, each wearing one item
  int loose = 4;             // items lying in the world
};

// A world save of that shape: a four-line header, the sections, "[EOF]".
// Players are named "Player N" and stand at "P=100,N,0"; NPCs are named
// "Npc N"; loose items are of the kind "0eed]"; CR LF line ends.
std::string SmallWorld(const WorldShape& shape);
// Lines of the header of SmallWorld.
inline constexpr int kSmallWorldHeaderLines = 4;

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

class WindowFixture {
 public:
  WindowFixture();
  ~WindowFixture();

  std::string Path(const std::string& name) const;
  // Chooses the source and both targets through the three "Browse..."
  // buttons; the targets are new files in the scratch folder.
  void ChooseFiles(const std::string& source, const std::string& world_file,
                   const std::string& char_file);
  // Writes SmallWorld(shape) as "world.scp" and chooses it with the
  // targets "out_world.scp" and "out_chars.scp".
  void PrepareRun(const WorldShape& shape = WorldShape());

  orv::World world;
  ScriptedServices services;
  QTemporaryDir dir;
  std::unique_ptr<TForm1> form;
};

#endif  // ORVANTOR_UI_TESTS_WINDOW_FIXTURE_H_
