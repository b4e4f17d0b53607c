// The constraint solver on its own: relations, priorities, removal,
// in-place constants, edit variables and refused required constraints.
#include "layout/LinearSolver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <stdexcept>

using namespace uikit_layout;

namespace {

constexpr double R = LinearSolver::kRequired;
double weightOf(double priority) { return std::pow(10.0, (priority - 500.0) / 125.0); }

struct Solver : ::testing::Test {
    LinearSolver s;
    // x == c
    uint32_t fix(uint32_t x, double c, double w = R) { return s.addConstraint({{x, 1}}, -c, Relation::Equal, w).constraint; }
};

}  // namespace

TEST_F(Solver, EqualitiesAndInequalitiesChain) {
    auto x = s.newVariable(), y = s.newVariable(), z = s.newVariable();
    fix(x, 10);
    // y == 2x + 5, z >= y + 1, z <= 100, z == 0 weakly
    ASSERT_TRUE(s.addConstraint({{y, 1}, {x, -2}}, -5, Relation::Equal, R).ok());
    ASSERT_TRUE(s.addConstraint({{z, 1}, {y, -1}}, -1, Relation::GreaterOrEqual, R).ok());
    ASSERT_TRUE(s.addConstraint({{z, 1}}, -100, Relation::LessOrEqual, R).ok());
    fix(z, 0, weightOf(250));
    EXPECT_NEAR(s.value(x), 10, 1e-9);
    EXPECT_NEAR(s.value(y), 25, 1e-9);
    EXPECT_NEAR(s.value(z), 26, 1e-9);
}

TEST_F(Solver, PrioritiesWeighTheirErrors) {
    struct Case {
        const char* name;
        std::vector<std::pair<double, double>> wishes;  // (value, priority) for one variable
        double expected;
    };
    const Case cases[] = {
        {"750 beats 250 and 500 together", {{100, 750}, {0, 250}, {0, 500}}, 100},
        {"500 beats 250", {{10, 250}, {20, 500}}, 20},
        {"999 beats 998", {{10, 999}, {20, 998}}, 10},
        {"required beats 999", {{5, 1000}, {20, 999}}, 5},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinearSolver solver;
        auto x = solver.newVariable();
        for (auto [v, p] : c.wishes) solver.addConstraint({{x, 1}}, -v, Relation::Equal, p >= 1000 ? R : weightOf(p));
        EXPECT_NEAR(solver.value(x), c.expected, 1e-9);
    }
    EXPECT_NEAR(weightOf(250), 0.01, 1e-12);
    EXPECT_NEAR(weightOf(750), 100, 1e-9);
    EXPECT_NEAR(weightOf(999), 9817.48, 0.01);
}

TEST_F(Solver, OneSidedInequalityErrors) {
    auto x = s.newVariable();
    fix(x, 50, weightOf(500));
    // x >= 80 at 750 pulls x up; x <= 200 at 750 costs nothing.
    s.addConstraint({{x, 1}}, -80, Relation::GreaterOrEqual, weightOf(750));
    s.addConstraint({{x, 1}}, -200, Relation::LessOrEqual, weightOf(750));
    EXPECT_NEAR(s.value(x), 80, 1e-9);
    EXPECT_NEAR(s.objectiveValue(), 30 * weightOf(500), 1e-6);
}

TEST_F(Solver, MultipliersAndRedundancy) {
    auto a = s.newVariable(), b = s.newVariable();
    fix(a, 40);
    ASSERT_TRUE(s.addConstraint({{b, 1}, {a, -0.5}}, 0, Relation::Equal, R).ok());
    // Redundant: 2b == a, said again.
    auto again = s.addConstraint({{a, 1}, {b, -2}}, 0, Relation::Equal, R);
    ASSERT_TRUE(again.ok());
    EXPECT_NEAR(s.value(b), 20, 1e-9);
    s.removeConstraint(again.constraint);
    EXPECT_NEAR(s.value(b), 20, 1e-9);
    // Degenerate: several inequalities meeting at one point.
    for (double k : {20.0, 20.0, 20.0}) ASSERT_TRUE(s.addConstraint({{b, 1}}, -k, Relation::LessOrEqual, R).ok());
    EXPECT_NEAR(s.value(b), 20, 1e-9);
}

TEST_F(Solver, RemovalRestoresThePreviousSolution) {
    auto x = s.newVariable(), y = s.newVariable();
    fix(x, 10, weightOf(250));
    s.addConstraint({{y, 1}, {x, -1}}, -5, Relation::Equal, R);
    double x0 = s.value(x), y0 = s.value(y);
    auto c = fix(x, 70, weightOf(750));
    EXPECT_NEAR(s.value(y), 75, 1e-9);
    s.removeConstraint(c);
    EXPECT_NEAR(s.value(x), x0, 1e-9);
    EXPECT_NEAR(s.value(y), y0, 1e-9);
    auto ineq = s.addConstraint({{y, 1}}, -100, Relation::GreaterOrEqual, R).constraint;
    EXPECT_NEAR(s.value(x), 95, 1e-9);
    s.removeConstraint(ineq);
    EXPECT_NEAR(s.value(x), x0, 1e-9);
}

TEST_F(Solver, ConstantChangesInPlace) {
    auto w = s.newVariable(), a = s.newVariable(), b = s.newVariable();
    auto width = fix(w, 375);
    // a.left = 10, b.left = a.right + 10, b.right = w - 10, a.width == b.width
    auto al = s.newVariable(), aw = s.newVariable(), bl = s.newVariable(), bw = s.newVariable();
    (void)a, (void)b;
    fix(al, 10);
    s.addConstraint({{bl, 1}, {al, -1}, {aw, -1}}, -10, Relation::Equal, R);
    s.addConstraint({{bl, 1}, {bw, 1}, {w, -1}}, 10, Relation::Equal, R);
    s.addConstraint({{aw, 1}, {bw, -1}}, 0, Relation::Equal, R);
    auto ge = s.addConstraint({{aw, 1}}, -100, Relation::GreaterOrEqual, weightOf(750)).constraint;
    EXPECT_NEAR(s.value(aw), 172.5, 1e-9);
    const std::size_t rows = s.rowCount();
    for (double width_ : {320.0, 414.0, 200.0, 375.0}) {
        SCOPED_TRACE(width_);
        ASSERT_TRUE(s.setConstant(width, -width_).ok());
        EXPECT_NEAR(s.value(aw), std::max((width_ - 30) / 2, 0.0), 1e-9);
        EXPECT_NEAR(s.value(bl), 10 + s.value(aw) + 10, 1e-9);
    }
    // The optional inequality moves in place too, and gives way when it must.
    ASSERT_TRUE(s.setConstant(ge, -300).ok());
    EXPECT_NEAR(s.value(aw), 172.5, 1e-9);
    ASSERT_TRUE(s.setConstant(ge, -100).ok());
    EXPECT_EQ(s.rowCount(), rows);
}

TEST_F(Solver, EditVariablesTakeSuggestedValues) {
    auto x = s.newVariable(), y = s.newVariable();
    s.addConstraint({{y, 1}, {x, -3}}, 0, Relation::Equal, R);
    s.addConstraint({{y, 1}}, -300, Relation::LessOrEqual, R);
    auto edit = s.addEditVariable(x, weightOf(999), 0);
    for (double v : {10.0, 50.0, 200.0, -4.0}) {
        SCOPED_TRACE(v);
        s.suggestValue(edit, v);
        EXPECT_NEAR(s.value(x), std::min(v, 100.0), 1e-9);
    }
}

TEST_F(Solver, UnsatisfiableRequiredIsRefusedWithItsConflicts) {
    auto x = s.newVariable(), y = s.newVariable(), z = s.newVariable();
    auto c1 = fix(x, 10);
    auto c2 = s.addConstraint({{y, 1}, {x, -1}}, 0, Relation::Equal, R).constraint;
    auto unrelated = fix(z, 3);
    auto bad = fix(y, 20);
    auto refused = s.addConstraint({{y, 1}}, -20, Relation::Equal, R);
    (void)bad;
    EXPECT_FALSE(refused.ok());
    EXPECT_NE(std::find(refused.conflicts.begin(), refused.conflicts.end(), c1), refused.conflicts.end());
    EXPECT_NE(std::find(refused.conflicts.begin(), refused.conflicts.end(), c2), refused.conflicts.end());
    EXPECT_EQ(std::find(refused.conflicts.begin(), refused.conflicts.end(), unrelated), refused.conflicts.end());
    EXPECT_NEAR(s.value(y), 10, 1e-9);
    // An inequality conflict, and a constant change that breaks a required constraint.
    auto ge = s.addConstraint({{z, 1}}, -1, Relation::GreaterOrEqual, R).constraint;
    EXPECT_FALSE(s.addConstraint({{z, 1}}, 0, Relation::LessOrEqual, R).ok());
    auto moved = s.setConstant(ge, -5);
    EXPECT_FALSE(moved.ok());
    EXPECT_FALSE(s.contains(ge));
    EXPECT_NEAR(s.value(z), 3, 1e-9);
}

TEST_F(Solver, NonFiniteInputIsRejected) {
    auto x = s.newVariable();
    EXPECT_THROW(s.addConstraint({{x, 1}}, NAN, Relation::Equal, R), std::invalid_argument);
    EXPECT_THROW(s.addConstraint({{x, INFINITY}}, 0, Relation::Equal, R), std::invalid_argument);
    auto c = fix(x, 1);
    EXPECT_THROW(s.setConstant(c, NAN), std::invalid_argument);
    EXPECT_NEAR(s.value(x), 1, 1e-9);
}
