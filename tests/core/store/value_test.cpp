#include <gtest/gtest.h>

#include "store/errors.hpp"
#include "store/value.hpp"

namespace vantrell::store {
namespace {

TEST(FieldValues, TextTypedByAClerkBecomesTheFieldsType) {
  const FieldDefinition logical{"Inactive", FieldType::Logical, 0};
  for (const char* yes : {"true", "T", "yes", "Y", "1", ".t."}) EXPECT_EQ(parseFieldText(logical, yes), Value{true}) << yes;
  for (const char* no : {"false", "f", "NO", "0"}) EXPECT_EQ(parseFieldText(logical, no), Value{false}) << no;
  EXPECT_THROW(parseFieldText(logical, "maybe"), InputError);
  EXPECT_TRUE(isEmptyValue(parseFieldText(logical, "")));

  const FieldDefinition integer{"Case Number", FieldType::Integer, 0};
  EXPECT_EQ(parseFieldText(integer, "+42"), Value{std::int64_t{42}});
  EXPECT_THROW(parseFieldText(integer, "4.5"), InputError);
  EXPECT_THROW(parseFieldText(integer, "3000000000"), InputError);  // beyond 32 bits

  const FieldDefinition amount{"Amount", FieldType::Double, 0};
  EXPECT_EQ(parseFieldText(amount, "1,234.50"), Value{1234.5});
  EXPECT_EQ(parseFieldText(amount, "1e3"), Value{1000.0});
  // Amounts are typed to the cent and within the range of money, nothing reinterpreted.
  for (const char* refused : {"1.234", "0.005", "1,2,3", "1e300", "1.2345e0", "-1e15"})
    EXPECT_THROW(parseFieldText(amount, refused), InputError) << refused;
  const FieldDefinition units{"Units", FieldType::Double, 0};
  EXPECT_EQ(parseFieldText(units, "1.2345"), Value{1.2345});
  EXPECT_THROW(parseFieldText(units, "1e300"), InputError);
  const FieldDefinition unapplied{"Unapplied Amount", FieldType::Money, 0};
  EXPECT_EQ(parseFieldText(unapplied, "-40"), Value{Money::fromCents(-4000)});
  EXPECT_THROW(parseFieldText(unapplied, "12.34567"), InputError);

  const FieldDefinition date{"Date From", FieldType::Date, 0};
  EXPECT_EQ(valueToText(parseFieldText(date, "12/05/2026")), "2026-12-05");
  const FieldDefinition chart{"Chart Number", FieldType::Character, 8};
  EXPECT_EQ(parseFieldText(chart, "LIAN0000   "), Value{std::string("LIAN0000")});
  try {
    parseFieldText(chart, "LIAN00001");
    FAIL();
  } catch (const InputError& error) {
    EXPECT_STREQ(error.what(),
                 "The value \"LIAN00001\" is too long for the field Chart Number (8 characters at most).");
  }
}

TEST(FieldValues, ValuesConvertBetweenCompatibleTypesOnly) {
  const FieldDefinition amount{"Amount", FieldType::Double, 0};
  EXPECT_EQ(coerceToField(amount, Money::fromCents(150)), Value{1.5});
  const FieldDefinition stamp{"Date Modified", FieldType::Timestamp, 0};
  EXPECT_EQ(valueToText(coerceToField(stamp, *Date::parse("2026-01-02"))), "2026-01-02 00:00:00");
  const FieldDefinition flag{"Flag", FieldType::Integer, 0};
  EXPECT_THROW(coerceToField(flag, Value{2.5}), InputError);
  EXPECT_THROW(coerceToField(flag, *Date::parse("2026-01-02")), InputError);
  const FieldDefinition memo{"Notes", FieldType::Memo, 0};
  EXPECT_EQ(coerceToField(memo, Value{std::int64_t{7}}), Value{std::string("7")});
  EXPECT_EQ(coerceToField(memo, std::monostate{}), Value{std::string()});
}

}  // namespace
}  // namespace vantrell::store
