#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "cli_fixture.hpp"

namespace vantrell {
namespace {

class CollectionCommandLine : public CommandLineProgram {};

// The letters are the proof that an account was written to: a run whose PDF
// cannot be written leaves no tracer record and no collection mark behind.
TEST_P(CollectionCommandLine, LettersAreRecordedOnlyOnceTheirFileIsWritten) {
  const std::string path = practicePath("Clinic");
  ASSERT_EQ(runCli(flags() + "practice create --name Clinic --path '" + path + "'").exitCode, 0);
  const std::string cli = flags() + "--practice '" + path + "' ";
  for (const char* setup :
       {"patient add \"Chart Number=ROEJO000\" \"Last Name=Roe\" \"First Name=John\" "
        "\"Street 1=1 Elm Street\" City=Springfield State=IL \"Zip Code=62701\"",
        "provider add DR1 \"Last Name=Welby\"", "code add 99213 \"Amount A=80\"",
        "case add --chart ROEJO000 Description=Visit \"Assigned Provider=DR1\" \"Cash Case=T\"",
        "--yes charge add --chart ROEJO000 --case 1 99213 Units=1",
        "worklist add --chart ROEJO000 \"Action=Call\""}) {
    const CliRun run = runCli(cli + setup);
    ASSERT_EQ(run.exitCode, 0) << setup << "\n" << run.output;
  }
  const std::filesystem::path missing = home_.path() / "no such folder" / "letters.pdf";
  const CliRun failed = runCli(cli + "--yes letters run --pdf '" + missing.string() + "'");
  EXPECT_EQ(failed.exitCode, 1) << failed.output;
  const auto show = [&] {
    const CliRun run = runCli(cli + "--json worklist show 1");
    EXPECT_EQ(run.exitCode, 0) << run.output;
    return nlohmann::json::parse(run.output);
  };
  EXPECT_EQ(show()["Tracer"], 0);
  const auto patient = [&] {
    return nlohmann::json::parse(runCli(cli + "--json patient show ROEJO000").output);
  };
  EXPECT_NE(patient()["In Collections"], true);

  const std::filesystem::path written = home_.path() / "letters.pdf";
  const CliRun run = runCli(cli + "--yes letters run --pdf '" + written.string() + "'");
  ASSERT_EQ(run.exitCode, 0) << run.output;
  EXPECT_TRUE(std::filesystem::exists(written));
  EXPECT_EQ(show()["Tracer"], 1);
  EXPECT_EQ(patient()["In Collections"], true);

  // The work list and the tracer on paper: the account's group with its counts, the letter.
  const auto pageText = [&](const std::string& command, const char* file) {
    const std::filesystem::path pdf = home_.path() / file;
    const CliRun printed = runCli(cli + command + " --pdf '" + pdf.string() + "'");
    EXPECT_EQ(printed.exitCode, 0) << printed.output;
    const CliRun text = runShell("pdftotext -layout '" + pdf.string() + "' -");
    return text.output;
  };
  const std::string workList = pageText("worklist report", "worklist.pdf");
  EXPECT_NE(workList.find("Responsible Party: ROEJO000"), std::string::npos) << workList;
  EXPECT_NE(workList.find("Call"), std::string::npos) << workList;
  EXPECT_NE(workList.find("Open 1   Resolved 0   Total Open 1"), std::string::npos) << workList;
  const std::string tracer = pageText("letters tracer", "tracer.pdf");
  EXPECT_NE(tracer.find("Collection Tracer"), std::string::npos) << tracer;
  EXPECT_NE(tracer.find("80.00"), std::string::npos) << tracer;
}

VANTRELL_ON_BOTH_ENGINES(CollectionCommandLine);

}  // namespace
}  // namespace vantrell
