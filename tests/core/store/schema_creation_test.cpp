#include <gtest/gtest.h>

#include <algorithm>

#include <sys/stat.h>
#include <unistd.h>

#include "store/errors.hpp"
#include "store/table.hpp"
#include "store/table_creation.hpp"
#include "support/store_fixture.hpp"

namespace vantrell::store {
namespace {

using vantrell::testing::EngineTest;
using vantrell::testing::PracticeSpace;

class SchemaCreation : public EngineTest {};

TEST_P(SchemaCreation, MakesEveryTableWithExactlyItsFieldsAndAgainNothing) {
  auto practice = space_->connect();
  PracticeSpace rootSpace(engine());
  auto root = rootSpace.connect();
  const auto created = createMissingTables(*practice, root.get());
  EXPECT_EQ(created.size(), practice->catalogue().creationOrder().size());
  for (const auto name : practice->catalogue().creationOrder()) {
    Connection& holder = SchemaCatalogue::belongsToRootDirectory(name) ? *root : *practice;
    ASSERT_TRUE(holder.tableExists(name)) << name;
    std::vector<std::string> expected;
    for (const auto& field : holder.catalogue().get(name).fields()) expected.push_back(field.name);
    EXPECT_EQ(holder.driver().columnNames(name), expected) << name;
    EXPECT_EQ(holder.openTable(name).count(), 0) << name;
  }
  EXPECT_FALSE(practice->tableExists("QVUSR"));
  EXPECT_TRUE(practice->tableExists("qvpat.adt"));
  EXPECT_TRUE(createMissingTables(*practice, root.get()).empty());
}

TEST_P(SchemaCreation, AnExistingTableIsLeftAsItIs) {
  auto practice = space_->connect();
  practice->executeSql("CREATE TABLE QVZIP (\"Zip Code\" Char( 10 )) IN DATABASE");
  const auto created = createMissingTables(*practice, nullptr);
  EXPECT_EQ(std::count(created.begin(), created.end(), "QVZIP"), 0);
  EXPECT_EQ(practice->driver().columnNames("QVZIP"), std::vector<std::string>{"Zip Code"});
}

TEST_P(SchemaCreation, UniqueTagsRefuseASecondKey) {
  auto practice = space_->connect();
  ensureTable(*practice, "QVTRN");
  ensureTable(*practice, "QVPAT");
  Table patients = practice->openTable("QVPAT");
  Record first = patients.newRecord();
  first.set("Chart Number", std::string("AAAA0000"));
  patients.append(first);
  Record second = patients.newRecord();
  second.set("Chart Number", std::string("aaaa0000"));  // the tag is on UPPER(Chart Number)
  EXPECT_THROW(patients.append(second), DuplicateKeyError);
  EXPECT_EQ(patients.count(), 1);
}

VANTRELL_ON_BOTH_ENGINES(SchemaCreation);

TEST(ConnectionFailure, MissingOrReadOnlyDirectoriesAndADeadServerSayWhy) {
  try {
    Connection::open({Engine::Embedded, "/nonexistent/vantrell/practice"}, {"x", nullptr, false});
    FAIL() << "opened a missing directory";
  } catch (const ConnectionError& error) {
    EXPECT_STREQ(error.what(),
                 "Data is not found.  The data path has changed or the server is not found.  "
                 "Check the server and retry the connection or change the data path.");
    EXPECT_EQ(error.location(), "/nonexistent/vantrell/practice");
  }
  if (::geteuid() != 0) {  // root may write anywhere
    PracticeSpace space(Engine::Embedded);
    const std::string path = space.location().path;
    ::chmod(path.c_str(), 0555);
    EXPECT_THROW(
        {
          try {
            Connection::open({Engine::Embedded, path}, {"x", nullptr, false});
          } catch (const RightsError& error) {
            EXPECT_EQ(std::string(error.what()), "You do not have rights to " + path + ".");
            throw;
          }
        },
        RightsError);
    ::chmod(path.c_str(), 0755);
  }
  ::setenv("VANTRELL_SERVER", "host=127.0.0.1 port=1 connect_timeout=2", 1);
  EXPECT_THROW(Connection::open({Engine::Server, "practice"}, {"x", nullptr, false}), ConnectionError);
  EXPECT_THROW(Connection::open({Engine::Server, "a/b/c"}, {"x", nullptr, false}), InputError);
}

}  // namespace
}  // namespace vantrell::store
