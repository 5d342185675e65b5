// The operator table.
#include <gtest/gtest.h>

#include <string>

#include "icode/opcodes.h"

using icode::OperatorTable;

TEST(NodeOperatorTable, NamesAndOperandCounts) {
    EXPECT_STREQ(OperatorTable::name(icode::NOP), "NOP");
    EXPECT_STREQ(OperatorTable::name(icode::VREG), "VREG");
    EXPECT_STREQ(OperatorTable::name(icode::CBRANCH), "CBRANCH");
    EXPECT_STREQ(OperatorTable::name(153), "FGEN");
    EXPECT_EQ(OperatorTable::operand_count(icode::PLUS), 2);
    EXPECT_EQ(OperatorTable::operand_count(icode::UMINUS), 1);
    EXPECT_EQ(OperatorTable::operand_count(icode::SKIP), 1);
    EXPECT_EQ(OperatorTable::operand_count(icode::UICALL), 0);
    EXPECT_EQ(OperatorTable::operand_count(icode::CALL), 2);
    EXPECT_EQ(OperatorTable::operand_count(icode::UCALL), 1);
    EXPECT_EQ(OperatorTable::operand_count(icode::ENDINIT), 0);
}

TEST(NodeOperatorTable, NumbersWithoutOperatorAreEmpty) {
    for (int code : {-1, 28, 35, 71, 137, 157, 162, 164, 255}) {
        EXPECT_EQ(OperatorTable::name(code), nullptr) << code;
        EXPECT_EQ(OperatorTable::operand_count(code), 0) << code;
        EXPECT_FALSE(OperatorTable::has_entry(code)) << code;
    }
}

TEST(NodeOperatorTable, EveryEntryIsConsistent) {
    int entries = 0;
    for (int code = 0; code <= icode::MAX_OPCODE; ++code) {
        if (!OperatorTable::has_entry(code)) continue;
        ++entries;
        EXPECT_FALSE(std::string(OperatorTable::name(code)).empty());
        EXPECT_LE(OperatorTable::operand_count(code), 2);
    }
    EXPECT_EQ(entries, 116);
}

TEST(NodeOperatorTable, ManagerOpcodesShareNumbersWithFloatingComparisons) {
    EXPECT_EQ(icode::OP_TEXT_NODE, 153);
    EXPECT_EQ(icode::OP_TWO_WAY_BRANCH, 154);
    EXPECT_EQ(icode::OP_LABEL_DEF, 155);
    EXPECT_STREQ(OperatorTable::name(icode::OP_LABEL_DEF), "FORD");
}
