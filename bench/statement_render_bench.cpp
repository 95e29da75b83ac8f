// Printing a run of statements: 1,000 guarantors of a generated practice, each
// with a statement of all its charges, read from the store, laid out and
// drawn to one PDF, as `statement print --batch` does. Reports each step's
// time and the pages drawn per second.
//
//   statement_render_bench [--statements N] [--lines-per-patient M]
//                          [--engine sqlite|server] [--server CONNINFO] [--pdf FILE]
// The server defaults to $VANTRELL_TEST_SERVER; each run makes a practice of
// its own and removes it at the end. The PDF is removed too unless --pdf.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <fmt/format.h>

#include "pdf_renderer.hpp"
#include "practice_generator.hpp"
#include "statements/statement_form.hpp"
#include "store/connection.hpp"
#include "ui/clock.hpp"

using namespace vantrell;

namespace {

double seconds(std::chrono::steady_clock::duration elapsed) {
  return std::chrono::duration<double>(elapsed).count();
}

struct Arguments {
  int statements = 1000;
  int linesPerPatient = 14;
  store::Engine engine = store::Engine::Embedded;
  std::string server;
  std::string pdf;
};

Arguments parse(int argc, char** argv) {
  Arguments arguments;
  if (const char* server = std::getenv("VANTRELL_TEST_SERVER")) arguments.server = server;
  for (int index = 1; index < argc; ++index) {
    const std::string flag = argv[index];
    const auto next = [&]() -> std::string {
      if (index + 1 >= argc) {
        std::fprintf(stderr, "%s needs a value\n", flag.c_str());
        std::exit(2);
      }
      return argv[++index];
    };
    if (flag == "--statements")
      arguments.statements = std::stoi(next());
    else if (flag == "--lines-per-patient")
      arguments.linesPerPatient = std::stoi(next());
    else if (flag == "--server")
      arguments.server = next();
    else if (flag == "--pdf")
      arguments.pdf = next();
    else if (flag == "--engine") {
      const std::string engine = next();
      if (engine != "sqlite" && engine != "server") {
        std::fprintf(stderr, "--engine is sqlite or server\n");
        std::exit(2);
      }
      arguments.engine = engine == "sqlite" ? store::Engine::Embedded : store::Engine::Server;
    } else {
      std::fprintf(stderr, "unknown argument %s\n", flag.c_str());
      std::exit(2);
    }
  }
  if (arguments.engine == store::Engine::Server && arguments.server.empty()) {
    std::fprintf(stderr, "--engine server needs --server or VANTRELL_TEST_SERVER\n");
    std::exit(2);
  }
  return arguments;
}

}  // namespace

int main(int argc, char** argv) {
  const Arguments arguments = parse(argc, argv);
  std::filesystem::path directory;
  store::DataLocation location;
  location.engine = arguments.engine;
  if (arguments.engine == store::Engine::Embedded) {
    directory = std::filesystem::temp_directory_path() /
                fmt::format("vantrell-statement-render-bench-{}", ::getpid());
    std::filesystem::create_directories(directory);
    location.path = directory.string();
  } else {
    ::setenv("VANTRELL_SERVER", arguments.server.c_str(), 1);
    location.path = fmt::format("statement_render_bench_{}", ::getpid());
  }
  ui::FixedClock clock(*DateTime::parse("2026-12-05 09:00:00"));
  auto practice = store::Connection::open(location, {"bench", &clock, true});

  bench::PracticeShape shape;
  shape.patients = arguments.statements;
  shape.lines = static_cast<std::int64_t>(arguments.statements) * arguments.linesPerPatient;
  const auto generated = bench::generatePractice(*practice, shape);

  // One standard statement per guarantor with every charge of its cases on it.
  {
    store::Transaction transaction(*practice);
    practice->driver().execute(
        "INSERT INTO \"QVSTA\" (\"Chart Number\", \"Statement Type\", \"Status\", \"Batch "
        "Number\", "
        "\"Submission Count\", \"Comment\", \"User Code\", \"Phone Number\", \"Billing Method\") "
        "SELECT DISTINCT \"Guarantor\", 'S', '1', 1, 0, '', '', '', '' FROM \"QVCAS\"",
        {});
    practice->driver().execute(
        "UPDATE \"QVTRN\" SET \"Statement Number\" = (SELECT s.\"Statement Number\" FROM \"QVSTA\" "
        "s "
        "JOIN \"QVCAS\" c ON c.\"Guarantor\" = s.\"Chart Number\" WHERE c.\"Case Number\" = "
        "\"QVTRN\".\"Case Number\") WHERE \"Transaction Type\" <= 'H'",
        {});
    transaction.commit();
  }

  const std::filesystem::path pdf =
      arguments.pdf.empty() ? std::filesystem::temp_directory_path() /
                                  fmt::format("statement-render-bench-{}.pdf", ::getpid())
                            : std::filesystem::path(arguments.pdf);
  using Clock = std::chrono::steady_clock;
  const Date statementDate = Date::fromYmd(2026, 12, 5);
  Clock::duration reading{}, layout{}, drawing{};
  const auto start = Clock::now();
  const auto numbers = statements::statementNumbersOfBatch(*practice, 1);
  std::size_t printed = 0;
  std::size_t entries = 0;
  {
    pdf::PdfWriter writer(pdf, printing::usLetter, "Statements");
    for (std::size_t first = 0; first < numbers.size(); first += 500) {
      const std::vector<std::int64_t> part(
          numbers.begin() + static_cast<std::ptrdiff_t>(first),
          numbers.begin() + static_cast<std::ptrdiff_t>(std::min(numbers.size(), first + 500)));
      auto step = Clock::now();
      const auto forms = statements::readStatementForms(*practice, part, statementDate);
      reading += Clock::now() - step;
      step = Clock::now();
      printing::Document document;
      for (const auto& form : forms) {
        statements::layOutStatement(document, form);
        entries += form.entries.size();
      }
      layout += Clock::now() - step;
      step = Clock::now();
      writer.add(document);
      drawing += Clock::now() - step;
      printed += forms.size();
    }
    const auto step = Clock::now();
    writer.finish();
    drawing += Clock::now() - step;
    const double total = seconds(Clock::now() - start);
    fmt::print("engine {}, {} patients, {} charges, {} ledger lines\n",
               arguments.engine == store::Engine::Embedded ? "SQLite" : "PostgreSQL",
               generated.patients, generated.charges, shape.lines);
    fmt::print("{} statements, {} lines on them, {} pages, {:.1f} MB\n", printed, entries,
               writer.pagesWritten(), static_cast<double>(std::filesystem::file_size(pdf)) / 1e6);
    fmt::print("reading the store  {:8.3f} s\n", seconds(reading));
    fmt::print("laying out         {:8.3f} s\n", seconds(layout));
    fmt::print("drawing the PDF    {:8.3f} s\n", seconds(drawing));
    fmt::print(
        "in all             {:8.3f} s: {:.0f} pages per second, {:.0f} statements per second\n",
        total, static_cast<double>(writer.pagesWritten()) / total,
        static_cast<double>(printed) / total);
  }

  if (arguments.pdf.empty()) std::filesystem::remove(pdf);
  practice.reset();
  if (arguments.engine == store::Engine::Embedded) {
    std::filesystem::remove_all(directory);
  } else {
    auto cleanup = store::Connection::open(location, {"bench", &clock, false});
    cleanup->driver().executeScript("DROP SCHEMA IF EXISTS \"" + location.path + "\" CASCADE");
  }
  return printed == numbers.size() && printed > 0 ? 0 : 1;
}
