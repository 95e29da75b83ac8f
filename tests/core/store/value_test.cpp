#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

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
  // A double would keep other cents than these: refused for what they are.
  for (const char* tooLarge : {"900000000000000.01", "99999999999999999", "99999999999999.99"}) {
    try {
      parseFieldText(amount, tooLarge);
      ADD_FAILURE() << tooLarge << " was accepted";
    } catch (const InputError& error) {
      EXPECT_EQ(std::string(error.what()),
                std::string("The value \"") + tooLarge +
                    "\" is not valid for the field Amount: beyond the range of money.");
    }
  }
  const FieldDefinition units{"Units", FieldType::Double, 0};
  EXPECT_EQ(parseFieldText(units, "1.2345"), Value{1.2345});
  EXPECT_THROW(parseFieldText(units, "1e300"), InputError);
  const FieldDefinition unapplied{"Unapplied Amount", FieldType::Money, 0};
  EXPECT_EQ(parseFieldText(unapplied, "-40"), Value{Money::fromCents(-4000)});
  EXPECT_THROW(parseFieldText(unapplied, "12.34567"), InputError);

  // A value from a damaged file is named by its first 200 characters, not in full.
  const FieldDefinition lastName{"Last Name", FieldType::Character, 20};
  const std::string shown = std::string(199, 'Z') + "\xC3\xB1";
  for (const auto& [field, text, why] :
       {std::tuple{&lastName, shown + std::string(3000000, 'Z'),
                   std::string(" is too long for the field Last Name (20 characters at most).")},
        std::tuple{&amount, shown + std::string(5000, '9'),
                   std::string(" is not valid for the field Amount: not a number.")}}) {
    try {
      coerceToField(*field, Value{text});
      ADD_FAILURE() << "a long value was accepted";
    } catch (const InputError& error) {
      EXPECT_EQ(std::string(error.what()), "The value \"" + shown + "...\"" + why);
    }
  }

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

TEST(FieldValues, TextThatIsNotUtf8OrHoldsANulIsRefusedNamingTheField) {
  const FieldDefinition name{"Last Name", FieldType::Character, 20};
  const FieldDefinition notes{"Notes", FieldType::Memo, 0};
  for (const auto* field : {&name, &notes}) {
    EXPECT_EQ(parseFieldText(*field, "Pe\xC3\xB1" "a"), Value{std::string("Pe\xC3\xB1" "a")});
    EXPECT_EQ(parseFieldText(*field, "\xF0\x9F\x98\x80"), Value{std::string("\xF0\x9F\x98\x80")});
  }
  struct Case {
    const char* what;
    std::string text;
    std::string message;
  };
  const std::vector<Case> refused = {
      {"Latin-1", "Caf\xE9", "The value for the field Last Name is not UTF-8 text (byte 4 is 0xE9)."},
      {"overlong slash", "a\xC0\xAF", "The value for the field Last Name is not UTF-8 text (byte 2 is 0xC0)."},
      {"surrogate", "\xED\xA0\x80", "The value for the field Last Name is not UTF-8 text (byte 1 is 0xED)."},
      {"past U+10FFFF", "\xF4\x90\x80\x80", "The value for the field Last Name is not UTF-8 text (byte 1 is 0xF4)."},
      {"cut short", "ab\xE2\x82", "The value for the field Last Name is not UTF-8 text (byte 3 is 0xE2)."},
      {"NUL", std::string("Li\0Bo", 5), "The value for the field Last Name holds a NUL character."},
  };
  for (const auto& row : refused) {
    try {
      parseFieldText(name, row.text);
      ADD_FAILURE() << row.what << " was accepted";
    } catch (const InputError& error) {
      EXPECT_EQ(std::string(error.what()), row.message) << row.what;
    }
    EXPECT_THROW(coerceToField(notes, Value{row.text}), InputError) << row.what;
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
