// Expression compiler and evaluation.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "core/Globals.h"
#include "expr/Expression.h"

namespace kvx::expr {
namespace {

float eval(const char* text, float x = 0.0f) {
    return compileExpression(text).evaluate(x);
}

TEST(Expression, ConstantsVariablesAndFunctions) {
    EXPECT_FLOAT_EQ(eval("pi"), 3.1415927f);
    EXPECT_FLOAT_EQ(eval("PI"), 3.1415927f);
    EXPECT_FLOAT_EQ(eval("Pi"), 3.1415927f);
    EXPECT_FLOAT_EQ(eval("x", 1500.0f), 1500.0f);
    EXPECT_FLOAT_EQ(eval("x(5)", 1500.0f), 1500.0f);
    EXPECT_FLOAT_EQ(eval("sin"), 0.0f);
    EXPECT_FLOAT_EQ(eval("abs(-2.5)"), 2.5f);
    EXPECT_FLOAT_EQ(eval("cos(0)"), 1.0f);
    EXPECT_FLOAT_EQ(eval("SIN(x/1000)*0.5+0.5", 1000.0f), std::sin(1.0f) * 0.5f + 0.5f);
}

TEST(Expression, DegWrapsWithTheSignOfTheArgument) {
    EXPECT_FLOAT_EQ(eval("deg(400)"), 40.0f);
    EXPECT_FLOAT_EQ(eval("deg(-30)"), -30.0f);
    EXPECT_FLOAT_EQ(eval("deg(x)", 725.0f), 5.0f);
    EXPECT_FLOAT_EQ(eval("deg"), 0.0f);
}

TEST(Expression, DivisionByZeroIsHarmless) {
    EXPECT_FLOAT_EQ(eval("1/0"), 0.0f);
    EXPECT_FLOAT_EQ(eval("5*(1/0)"), 0.0f);
    EXPECT_FLOAT_EQ(eval("8/2/2"), 2.0f);
}

TEST(Expression, UnarySignsBelongToFactors) {
    EXPECT_FLOAT_EQ(eval("-2*3"), -6.0f);
    EXPECT_FLOAT_EQ(eval("2*-3"), -6.0f);
    EXPECT_FLOAT_EQ(eval("2--3"), 5.0f);
    EXPECT_FLOAT_EQ(eval("+2"), 2.0f);
    EXPECT_FLOAT_EQ(eval("-x*2", 3.0f), -6.0f);
    EXPECT_FLOAT_EQ(eval("10-2*3"), 4.0f);
    EXPECT_FLOAT_EQ(eval(" ( 1 +\t2 )\n* 3"), 9.0f);
}

TEST(Expression, PartialResultsAndTheFailedFlag) {
    EXPECT_FALSE(compileExpression("1.5.2").failed());
    EXPECT_FLOAT_EQ(eval("1.5.2"), 1.5f);
    EXPECT_FLOAT_EQ(eval("2 3"), 2.0f);
    EXPECT_FALSE(compileExpression("2 3").failed());

    Expression incomplete = compileExpression("x+");
    EXPECT_TRUE(incomplete.failed());
    EXPECT_FLOAT_EQ(incomplete.evaluate(7.0f), 7.0f);

    Expression unknown = compileExpression("time*2");
    EXPECT_TRUE(unknown.failed());
    EXPECT_FLOAT_EQ(unknown.evaluate(7.0f), 0.0f);

    EXPECT_TRUE(compileExpression("").failed());
    EXPECT_TRUE(compileExpression("(1+2").failed());
    EXPECT_TRUE(compileExpression("sin(1").failed());
    EXPECT_FLOAT_EQ(eval("1+2+sin(1"), 3.0f);
    EXPECT_FLOAT_EQ(Expression().evaluate(3.0f), 0.0f);
}

TEST(Expression, TreeShapeOfTheDocumentedExample) {
    const Expression e = compileExpression("sin(x/1000)*0.5+0.5");
    ASSERT_NE(e.root(), nullptr);
    ASSERT_EQ(e.root()->terms.size(), 2u);
    ASSERT_EQ(e.root()->terms[0]->factors.size(), 2u);
    const auto* fn = dynamic_cast<const FuncNode*>(e.root()->terms[0]->factors[0]->operand.get());
    ASSERT_NE(fn, nullptr);
    EXPECT_EQ(fn->function, FuncCode::Sin);
    ASSERT_NE(fn->argument, nullptr);
    ASSERT_EQ(fn->argument->terms[0]->factors.size(), 2u);
    EXPECT_FALSE(fn->argument->terms[0]->factors[1]->multiply);
}

TEST(Expression, CopiesAreDeepAndKeepTheFlag) {
    Expression a = compileExpression("x*2+");
    Expression b = a;
    a = compileExpression("1");
    EXPECT_TRUE(b.failed());
    EXPECT_FLOAT_EQ(b.evaluate(4.0f), 8.0f);
    EXPECT_FLOAT_EQ(a.evaluate(4.0f), 1.0f);
}

// The flat program must give bit-identical results to the tree walk.
bool sameFloat(float a, float b) {
    return (std::isnan(a) && std::isnan(b)) || std::memcmp(&a, &b, sizeof a) == 0;
}

TEST(Expression, ProgramMatchesTheTreeWalk) {
    core::globals().beatPulse = 0.25f;
    core::globals().beatCount = 7;
    const char* fixed[] = {"sin(x/1000)*0.5+0.5",
                           "-x",
                           "-0*x",
                           "0-x",
                           "x/0",
                           "1/(x-5)",
                           "deg(x*-1)",
                           "-sin",
                           "abs(x)*-2--3",
                           "pi*x/pi",
                           "beat*beatcount+x(3)",
                           "cos(sin(x))/(x+1)",
                           "(x)",
                           "2 3",
                           "x+",
                           "",
                           "((((((((((((((((((((((((((((((((((x))))))))))))))))))))))))))))))))))"
                           "+1"};
    const float xs[] = {0.0f, -0.0f, 1.0f, 5.0f, -5.0f, 725.0f, 1e30f, -1e-30f};
    for (const char* text : fixed) {
        const Expression e = compileExpression(text);
        for (float x : xs) {
            EXPECT_TRUE(sameFloat(e.evaluate(x), e.evaluateTree(x))) << text << " at " << x;
        }
    }
    // Random expressions over the whole grammar.
    std::mt19937 rng(7);
    const char* atoms[] = {"x",    "2",    "0", "0.5", "pi", "beat", "beatcount", "sin(", "cos(",
                           "abs(", "deg(", "(", ")",   "+",  "-",    "*",         "/",    "x(1)"};
    for (int round = 0; round < 2000; ++round) {
        std::string text;
        const int n = 1 + static_cast<int>(rng() % 25);
        for (int i = 0; i < n; ++i) {
            text += atoms[rng() % (sizeof(atoms) / sizeof(atoms[0]))];
        }
        const Expression e = compileExpression(core::String(std::string_view(text)));
        for (float x : xs) {
            ASSERT_TRUE(sameFloat(e.evaluate(x), e.evaluateTree(x))) << text << " at " << x;
        }
    }
    core::globals().beatPulse = 0.0f;
    core::globals().beatCount = 0;
}

TEST(Expression, DeepNestingFailsInsteadOfCrashing) {
    std::string deep(100000, '(');
    deep += "1";
    const Expression e = compileExpression(core::String(std::string_view(deep)));
    EXPECT_TRUE(e.failed());
    EXPECT_FLOAT_EQ(e.evaluate(0.0f), 0.0f);
}

}  // namespace
}  // namespace kvx::expr
