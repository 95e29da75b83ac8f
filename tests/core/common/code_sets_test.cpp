#include <gtest/gtest.h>

#include "common/code_sets.hpp"

namespace vantrell {
namespace {

TEST(CodeSets, TransactionTypesGroupByRangeAndPayersByCode) {
  EXPECT_TRUE(isCharge('A') && isCharge('G') && isCharge('H'));
  EXPECT_TRUE(isPayment('I') && isPayment('P') && isPayment('R'));
  EXPECT_TRUE(isAdjustment('S') && isAdjustment('V') && isAdjustment('Y'));
  EXPECT_EQ(transactionGroup('Z'), TransactionGroup::Comment);
  EXPECT_EQ(transactionGroup('a'), TransactionGroup::Unknown);
  EXPECT_EQ(transactionTypesInOfferOrder().size(), 19u);
  EXPECT_EQ(transactionTypesInOfferOrder()[5].code, 'G');  // Tax comes after Billing charge
  EXPECT_EQ(transactionTypeMeaning('V'), "Insurance Take Back Adjustment");
  for (char code : {'1', '2', '3', 'G', 'A', ' '}) EXPECT_EQ(payerCode(*payerFromCode(code)), code);
  EXPECT_FALSE(payerFromCode('4'));
  EXPECT_EQ(effectiveInsuranceCategory(' '), 'A');
  EXPECT_EQ(effectiveInsuranceCategory('H'), 'H');
  EXPECT_FALSE(effectiveInsuranceCategory('I'));
}

}  // namespace
}  // namespace vantrell
