#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "store/connection.hpp"
#include "support/store_fixture.hpp"

namespace vantrell {
namespace {

struct CliRun {
  int exitCode = -1;
  std::string output;  // stdout and stderr together
};

CliRun runCli(const std::string& arguments) {
  const std::string command = std::string(VANTRELL_CLI) + " " + arguments + " 2>&1";
  CliRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  std::array<char, 4096> buffer{};
  std::size_t count = 0;
  while ((count = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) run.output.append(buffer.data(), count);
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

// Every run gets a home of its own: settings, state and data never touch the
// tester's.
class IsolatedHome {
 public:
  IsolatedHome() : home_(std::filesystem::temp_directory_path() / ("vantrell-home-" + std::to_string(::getpid()))) {
    std::filesystem::create_directories(home_);
    ::setenv("HOME", home_.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home_ / "config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home_ / "data").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (home_ / "state").c_str(), 1);
  }
  ~IsolatedHome() {
    std::error_code ignored;
    std::filesystem::remove_all(home_, ignored);
  }
  const std::filesystem::path& path() const { return home_; }

 private:
  std::filesystem::path home_;
};

class CommandLineProgram : public vantrell::testing::EngineTest {
 protected:
  IsolatedHome home_;
  std::string engineFlag() const { return engine() == store::Engine::Server ? "--server " : ""; }
};

TEST_P(CommandLineProgram, CreatesListsAndExportsAPractice) {
  vantrell::testing::PracticeSpace root(engine());
  const std::string practice = space_->location().path;
  const std::string common = engineFlag() + "--root '" + root.location().path + "' ";

  CliRun created = runCli(common + "schema create '" + practice + "'");
  ASSERT_EQ(created.exitCode, 0) << created.output;
  EXPECT_NE(created.output.find("Created 52 tables"), std::string::npos) << created.output;  // QVUSR is in the root
  EXPECT_NE(runCli(common + "schema create '" + practice + "'").output.find("Created 0 tables"),
            std::string::npos);

  CliRun listed = runCli("table list --json " + common + "--practice '" + practice + "'");
  ASSERT_EQ(listed.exitCode, 0) << listed.output;
  EXPECT_NE(listed.output.find("{\"table\": \"QVPAT\", \"description\": \"Patient\", \"rows\": 0}"),
            std::string::npos)
      << listed.output;

  CliRun exported = runCli(common + "--practice '" + practice + "' table export qvpax.adt");
  ASSERT_EQ(exported.exitCode, 0) << exported.output;
  EXPECT_EQ(exported.output,
            "Payment Reference,Charge Reference,Payment Amount,Who Paid,Deposit ID,Date Modified\r\n");
  CliRun quoted = runCli(common + "--practice '" + practice + "' table export QVDEF");
  EXPECT_EQ(quoted.output, "Table,Field,Default,Date Modified\r\n");

  // Values with commas, quotes and line breaks are quoted as RFC 4180 says.
  {
    auto connection = space_->connect();
    connection->executeSql(
        "INSERT INTO QVDEF (\"Table\", \"Field\", \"Default\") VALUES ('QVPAT', 'City', ?), ('QVPAT', 'State', 'IL')",
        {store::Value{std::string("Springfield, \"East\"\nside")}});
  }
  CliRun rows = runCli(common + "--practice '" + practice + "' table export QVDEF --order Primary");
  EXPECT_EQ(rows.output,
            "Table,Field,Default,Date Modified\r\n"
            "QVPAT,City,\"Springfield, \"\"East\"\"\nside\",\r\n"
            "QVPAT,State,IL,\r\n");
  CliRun filtered =
      runCli(common + "--practice '" + practice + "' table export QVDEF --filter \"Field = 'State'\"");
  EXPECT_EQ(filtered.output, "Table,Field,Default,Date Modified\r\nQVPAT,State,IL,\r\n");

  EXPECT_EQ(runCli(common + "--practice '" + practice + "' table export QVNOPE").exitCode, 2);
  CliRun badFilter = runCli(common + "--practice '" + practice + "' table export QVPAT --filter 'Last Name ='");
  EXPECT_EQ(badFilter.exitCode, 2);
  EXPECT_NE(badFilter.output.find("The filter \"Last Name =\" is not valid"), std::string::npos);
}

VANTRELL_ON_BOTH_ENGINES(CommandLineProgram);

TEST(CommandLine, UsageAndMissingDataHaveTheirExitCodes) {
  IsolatedHome home;
  EXPECT_EQ(runCli("--help").exitCode, 0);
  EXPECT_EQ(runCli("").exitCode, 2);
  EXPECT_EQ(runCli("frobnicate now").exitCode, 2);
  EXPECT_EQ(runCli("table list --bogus").exitCode, 2);
  EXPECT_EQ(runCli("table list").exitCode, 2);
  CliRun missing = runCli("table list --practice /nonexistent/practice");
  EXPECT_EQ(missing.exitCode, 3);
  EXPECT_NE(missing.output.find("Data is not found.  The data path has changed or the server is not found."),
            std::string::npos);
}

}  // namespace
}  // namespace vantrell
