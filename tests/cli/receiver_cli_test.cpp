#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "cli_fixture.hpp"

namespace vantrell {
namespace {

class ReceiverCommandLine : public CommandLineProgram {};

// A receiver is kept like the other code tables: a second one with the same
// code (in any case) is refused, and one a carrier names cannot be deleted
// until the carrier lets it go.
TEST_P(ReceiverCommandLine, AddEditAndDeleteWithItsChecks) {
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  const std::string cli = flags() + "--practice '" + path + "' ";
  const CliRun added = runCli(cli + "receiver add R1 Name=Clearing \"Program File=send\"");
  ASSERT_EQ(added.exitCode, 0) << added.output;
  const CliRun twice = runCli(cli + "receiver add r1 Name=Other");
  EXPECT_EQ(twice.exitCode, 1) << twice.output;
  EXPECT_NE(twice.output.find("EDI receiver code"), std::string::npos) << twice.output;
  ASSERT_EQ(runCli(cli + "receiver edit R1 \"Submitter ID 1=SUB9\"").exitCode, 0);
  const CliRun shown = runCli(cli + "--json receiver show R1");
  ASSERT_EQ(shown.exitCode, 0) << shown.output;
  const auto row = nlohmann::json::parse(shown.output);
  EXPECT_EQ(row.at("Name"), "Clearing");
  EXPECT_EQ(row.at("Program File"), "send");
  EXPECT_EQ(row.at("Submitter ID 1"), "SUB9");

  ASSERT_EQ(runCli(cli + "carrier add MC Name=Medicare \"EMC Receiver=R1\"").exitCode, 0);
  const CliRun used = runCli(cli + "--yes receiver delete R1");
  EXPECT_EQ(used.exitCode, 1) << used.output;
  EXPECT_NE(used.output.find("This EDI receiver code record is currently being used in the EMC "
                             "Receiver field of the QVINS table and cannot be deleted."),
            std::string::npos)
      << used.output;
  ASSERT_EQ(runCli(cli + "carrier edit MC \"EMC Receiver=\"").exitCode, 0);
  EXPECT_EQ(runCli(cli + "--yes receiver delete R1").exitCode, 0);
  const CliRun listed = runCli(cli + "--json receiver list");
  ASSERT_EQ(listed.exitCode, 0) << listed.output;
  EXPECT_TRUE(nlohmann::json::parse(listed.output).empty()) << listed.output;
}

VANTRELL_ON_BOTH_ENGINES(ReceiverCommandLine);

}  // namespace
}  // namespace vantrell
