#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "platform/serial_route.h"

namespace kw {
namespace {

class TaggedPort final : public SerialPort {
 public:
  explicit TaggedPort(std::string name) : tag(std::move(name)) {}
  size_t write(const uint8_t*, size_t size) override { return size; }
  size_t read(uint8_t*, size_t) override { return 0; }
  int waiting() override { return 0; }
  bool cts() override { return true; }
  void purge() override {}
  std::string tag;
};

std::string tagOf(const std::unique_ptr<SerialPort>& p) {
  auto* t = dynamic_cast<TaggedPort*>(p.get());
  return t ? t->tag : std::string("<none>");
}

class RecordingHost final : public SerialPorts {
 public:
  std::unique_ptr<SerialPort> open(int port, const SerialSettings& settings) override {
    opened.push_back(port);
    modes.push_back(settings.mode);
    return std::make_unique<TaggedPort>("host" + std::to_string(port));
  }
  std::vector<int> opened;
  std::vector<std::string> modes;
};

struct Env {
  std::map<std::string, std::string> vars;
  std::vector<std::string> asked;
  EnvLookup lookup() {
    return [this](const char* name) -> const char* {
      asked.emplace_back(name);
      auto it = vars.find(name);
      return it == vars.end() ? nullptr : it->second.c_str();
    };
  }
};

struct SimCall {
  int port;
  int protocolClass;
  std::string mode;
};

class RoutedPortsTest : public ::testing::Test {
 protected:
  SimulatedPortFactory factory() {
    return [this](int port, const SerialSettings& s) -> std::unique_ptr<SerialPort> {
      simCalls.push_back({port, s.protocolClass, s.mode});
      return std::make_unique<TaggedPort>("sim" + std::to_string(port));
    };
  }
  SerialSettings settings(int port, int cls) {
    SerialSettings s;
    s.mode = "COM" + std::to_string(port) + ":57600,n,8,1";
    s.protocolClass = cls;
    return s;
  }
  RecordingHost host;
  Env env;
  std::vector<SimCall> simCalls;
};

TEST_F(RoutedPortsTest, SimGoesToTheSimulationWithItsSettings) {
  env.vars["KANTELWERK_COM2"] = "sim";
  RoutedSerialPorts ports(host, factory(), env.lookup());
  auto p = ports.open(2, settings(2, 3));
  EXPECT_EQ(tagOf(p), "sim2");
  ASSERT_EQ(simCalls.size(), 1u);
  EXPECT_EQ(simCalls[0].port, 2);
  EXPECT_EQ(simCalls[0].protocolClass, 3);
  EXPECT_EQ(simCalls[0].mode, "COM2:57600,n,8,1");
  EXPECT_TRUE(host.opened.empty());
  EXPECT_EQ(env.asked, std::vector<std::string>{"KANTELWERK_COM2"});
}

TEST_F(RoutedPortsTest, OtherPortsAndOtherValuesGoToTheHost) {
  env.vars["KANTELWERK_COM1"] = "sim";
  env.vars["KANTELWERK_COM3"] = "/dev/ttyUSB0";
  env.vars["KANTELWERK_COM4"] = "simulator";
  env.vars["KANTELWERK_COM5"] = "";
  RoutedSerialPorts ports(host, factory(), env.lookup());
  EXPECT_EQ(tagOf(ports.open(3, settings(3, 1))), "host3");
  EXPECT_EQ(tagOf(ports.open(4, settings(4, 1))), "host4");
  EXPECT_EQ(tagOf(ports.open(5, settings(5, 1))), "host5");
  EXPECT_EQ(tagOf(ports.open(6, settings(6, 1))), "host6");  // not set at all
  EXPECT_EQ(host.opened, (std::vector<int>{3, 4, 5, 6}));
  EXPECT_EQ(host.modes[0], "COM3:57600,n,8,1");
  EXPECT_TRUE(simCalls.empty());
}

TEST_F(RoutedPortsTest, SimIsReadInAnyCase) {
  env.vars["KANTELWERK_COM7"] = "SIM";
  env.vars["KANTELWERK_COM8"] = "Sim";
  RoutedSerialPorts ports(host, factory(), env.lookup());
  EXPECT_TRUE(ports.isSimulated(7));
  EXPECT_TRUE(ports.isSimulated(8));
  EXPECT_FALSE(ports.isSimulated(1));
  EXPECT_EQ(tagOf(ports.open(8, settings(8, 5))), "sim8");
  EXPECT_TRUE(host.opened.empty());
}

TEST_F(RoutedPortsTest, SimulatedPortThatCannotBeMadeIsNotReplacedByARealOne) {
  env.vars["KANTELWERK_COM1"] = "sim";
  RoutedSerialPorts failing(
      host, [](int, const SerialSettings&) -> std::unique_ptr<SerialPort> { return nullptr; },
      env.lookup());
  EXPECT_EQ(failing.open(1, settings(1, 1)), nullptr);
  RoutedSerialPorts none(host, nullptr, env.lookup());
  EXPECT_EQ(none.open(1, settings(1, 1)), nullptr);
  EXPECT_TRUE(host.opened.empty());
}

TEST_F(RoutedPortsTest, ProbingASimulatedPortOpensNothingOtherPortsAskTheHost) {
  env.vars["KANTELWERK_COM2"] = "sim";
  RoutedSerialPorts ports(host, factory(), env.lookup());
  EXPECT_TRUE(ports.probe(2, settings(2, 0)));
  EXPECT_TRUE(simCalls.empty());  // a simulated device allows one open: the bus's
  EXPECT_TRUE(ports.probe(3, settings(3, 0)));
  EXPECT_EQ(host.opened, std::vector<int>{3});
  EXPECT_FALSE(RoutedSerialPorts(host, nullptr, env.lookup()).probe(2, settings(2, 0)));
  EXPECT_EQ(ports.deviceName(2), "sim");
  EXPECT_EQ(ports.deviceName(3), "");  // what the host says
}

TEST_F(RoutedPortsTest, WithoutEnvironmentEverythingGoesToTheHost) {
  RoutedSerialPorts ports(host, factory(), nullptr);
  EXPECT_EQ(tagOf(ports.open(1, settings(1, 1))), "host1");
  EXPECT_TRUE(simCalls.empty());
}

}  // namespace
}  // namespace kw
