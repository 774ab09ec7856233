// The power-off over D-Bus, asked of a login manager of the test's own on a
// bus of its own (DBUS_SYSTEM_BUS_ADDRESS leads the request there): a
// manager that takes the call, one that turns it down, none on the bus, and
// no bus at all. Nothing is ever powered off.

#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/power_off.h"
#include "tests/cli_run.h"
#include "tests/test_util.h"

#if defined(ORVANTOR_HAVE_SDBUS)
#include <systemd/sd-bus.h>

extern char** environ;

namespace orv::platform {
namespace {

using testing::TempDir;
using Outcome = PowerOffResult::Outcome;

bool Connectable(const std::string& path) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, path.c_str(), sizeof(address.sun_path) - 1);
  const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
  ::close(fd);
  return connected;
}

// A message bus of the test's own, which anybody may use, for as long as
// the object lives.
class PrivateBus {
 public:
  explicit PrivateBus(const TempDir& dir) : socket_(dir.File("bus")) {
    const std::string config = dir.File("bus.conf");
    testing::WriteFile(
        config,
        "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration "
        "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
        "<busconfig><type>system</type><listen>unix:path=" +
            socket_ +
            "</listen><auth>EXTERNAL</auth><policy context=\"default\">"
            "<allow user=\"*\"/><allow own=\"*\"/><allow send_destination=\"*\"/>"
            "<allow receive_sender=\"*\"/></policy></busconfig>\n");
    const std::string config_arg = "--config-file=" + config;
    char* argv[] = {const_cast<char*>("dbus-daemon"), const_cast<char*>(config_arg.c_str()),
                    const_cast<char*>("--nofork"), const_cast<char*>("--nopidfile"), nullptr};
    if (::posix_spawnp(&pid_, "dbus-daemon", nullptr, nullptr, argv, environ) != 0) pid_ = -1;
  }
  ~PrivateBus() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    ::waitpid(pid_, nullptr, 0);
  }
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  // Whether the bus takes connections (waits a while for it to start).
  bool Up() const {
    return pid_ > 0 && testing::WaitUntil([&] { return Connectable(socket_); });
  }
  std::string Address() const { return "unix:path=" + socket_; }

 private:
  std::string socket_;
  pid_t pid_ = -1;
};

// org.freedesktop.login1 on a bus, answering PowerOff on a thread of its
// own: taking it, or turning it down as a manager does for a user who may
// not power off.
class FakeLoginManager {
 public:
  FakeLoginManager(const std::string& address, bool refuse) : refuse_(refuse) {
    if (sd_bus_new(&bus_) < 0 || sd_bus_set_address(bus_, address.c_str()) < 0 ||
        sd_bus_set_bus_client(bus_, 1) < 0 || sd_bus_start(bus_) < 0 ||
        sd_bus_add_object(bus_, nullptr, "/org/freedesktop/login1", &FakeLoginManager::Handle,
                          this) < 0 ||
        sd_bus_request_name(bus_, "org.freedesktop.login1", 0) < 0) {
      return;
    }
    serving_ = std::thread([this] {
      while (!stop_.load()) {
        if (sd_bus_process(bus_, nullptr) > 0) continue;
        sd_bus_wait(bus_, 20000);
      }
    });
  }
  ~FakeLoginManager() {
    stop_.store(true);
    if (serving_.joinable()) serving_.join();
    sd_bus_flush_close_unref(bus_);
  }
  FakeLoginManager(const FakeLoginManager&) = delete;
  FakeLoginManager& operator=(const FakeLoginManager&) = delete;

  bool Serving() const { return serving_.joinable(); }
  // The "interactive" argument of each PowerOff call; read once stopped.
  std::vector<int> Calls() {
    stop_.store(true);
    if (serving_.joinable()) serving_.join();
    return calls_;
  }

 private:
  static int Handle(sd_bus_message* m, void* self_pointer, sd_bus_error* error) {
    auto* self = static_cast<FakeLoginManager*>(self_pointer);
    if (!sd_bus_message_is_method_call(m, "org.freedesktop.login1.Manager", "PowerOff")) return 0;
    int interactive = -1;
    if (sd_bus_message_read(m, "b", &interactive) < 0) interactive = -1;
    self->calls_.push_back(interactive);
    if (self->refuse_)
      return sd_bus_error_set(error, SD_BUS_ERROR_ACCESS_DENIED, "Access denied by the test");
    return sd_bus_reply_method_return(m, "");
  }

  const bool refuse_;
  sd_bus* bus_ = nullptr;
  std::atomic<bool> stop_{false};
  std::vector<int> calls_;
  std::thread serving_;
};

// Leads the request to `address` for the life of the object.
class SystemBusAt {
 public:
  explicit SystemBusAt(const std::string& address) {
    if (const char* old = std::getenv("DBUS_SYSTEM_BUS_ADDRESS")) old_ = old, had_ = true;
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1);
  }
  ~SystemBusAt() {
    if (had_) {
      ::setenv("DBUS_SYSTEM_BUS_ADDRESS", old_.c_str(), 1);
    } else {
      ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    }
  }

 private:
  std::string old_;
  bool had_ = false;
};

// Each test on a bus of its own, running from the start.
class PowerOff : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(bus.Up()) << "cannot start dbus-daemon (tools/setup-debian.sh installs it)";
  }

  // What the power-off makes of a login manager on the bus that takes the
  // call or turns it down, and the "interactive" argument of each call.
  std::pair<PowerOffResult, std::vector<int>> AskManager(bool refuse) {
    FakeLoginManager manager(bus.Address(), refuse);
    EXPECT_TRUE(manager.Serving());
    SystemBusAt at(bus.Address());
    PowerOffResult result = RequestPowerOff();
    return {std::move(result), manager.Calls()};
  }

  TempDir dir;
  PrivateBus bus{dir};
};

TEST_F(PowerOff, AManagerThatTakesTheCallIsAskedWithoutAPrompt) {
  const auto [result, calls] = AskManager(false);
  EXPECT_EQ(result.outcome, Outcome::kAsked) << result.message;
  EXPECT_EQ(calls, std::vector<int>{0}) << "asked once, not interactive";
}

TEST_F(PowerOff, AManagerThatTurnsItDownIsARefusalWithItsWords) {
  const auto [result, calls] = AskManager(true);
  EXPECT_EQ(result.outcome, Outcome::kRefused);
  EXPECT_EQ(result.caption, "") << "a refusal has no error box";
  EXPECT_NE(result.message.find("Access denied by the test"), std::string::npos) << result.message;
  EXPECT_EQ(calls.size(), 1u);
}

TEST_F(PowerOff, NoManagerOrNoBusIsUnreachable) {
  for (const std::string& address : {bus.Address(), std::string("unix:path=") + dir.File("none")}) {
    SCOPED_TRACE(address);
    SystemBusAt at(address);
    const PowerOffResult result = RequestPowerOff();
    EXPECT_EQ(result.outcome, Outcome::kUnreachable);
    EXPECT_EQ(result.caption, "ShutDown Error #1");
    EXPECT_FALSE(result.message.empty());
  }
}

TEST_F(PowerOff, TheCommandLineEndsWith3WhenTheSystemTurnsItDown) {
  // The files are saved and the summary is out; a script that powers a
  // server off this way learns from the status that it still runs.
  FakeLoginManager manager(bus.Address(), true);
  ASSERT_TRUE(manager.Serving());
  const std::string save = dir.File("save.scp");
  testing::WriteFile(save, "[WORLDCHAR 01]\r\nSERIAL=p\r\nACCOUNT=a\r\n[EOF]\r\n");
  const testing::CliRun r =
      testing::RunCli({"convert", save, "--world-file", dir.File("world.scp"), "--char-file",
                       dir.File("chars.scp"), "--power-off", "--quiet", "--no-sync"},
                      dir.path(), {}, {"DBUS_SYSTEM_BUS_ADDRESS=" + bus.Address()});
  EXPECT_TRUE(r.Exited(3)) << r.err;
  EXPECT_NE(r.err.find("orvantor: cannot power off: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Access denied by the test"), std::string::npos) << r.err;
  EXPECT_NE(r.out.find("characters: 1"), std::string::npos) << "the summary still comes";
  EXPECT_NE(testing::ReadFile(dir.File("chars.scp")).find("SERIAL=p"), std::string::npos);
  EXPECT_EQ(manager.Calls().size(), 1u);
}

}  // namespace
}  // namespace orv::platform

#endif  // ORVANTOR_HAVE_SDBUS
