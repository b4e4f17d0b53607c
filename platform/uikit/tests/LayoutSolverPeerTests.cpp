// The layout solver against an independent solver on seeded random systems:
// every required constraint holds and both reach the same weighted error sum
// (optima need not be unique). Skipped where the peer is not installed.
#include "layout/LayoutEngine.h"
#include "layout/LinearSolver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

using namespace uikit_layout;

namespace {

// Debian's interpreter: the first python3 on PATH may not see Debian's modules.
constexpr const char* kPython = "/usr/bin/python3";

struct Row {
    std::vector<Term> terms;
    double constant;
    Relation relation;
    float priority;
};
struct System {
    int variables;
    std::vector<Row> rows;
};

System randomSystem(std::mt19937& rng) {
    std::uniform_int_distribution<int> count(5, 50);
    std::uniform_real_distribution<double> value(-100, 100), slack(0, 20), miss(-50, 50);
    const float priorities[] = {1000, 1000, 999, 750, 500, 251, 250, 1, 333.5f};
    const double coefficients[] = {1, -1, 1, -1, 0.5, 2, -1, 1};
    System s;
    s.variables = count(rng);
    std::vector<double> reference(s.variables);
    for (auto& x : reference) x = value(rng);
    int rows = s.variables * 2;
    for (int r = 0; r < rows; ++r) {
        Row row;
        int terms = 1 + static_cast<int>(rng() % 3);
        double at = 0;
        for (int t = 0; t < terms; ++t) {
            uint32_t v = rng() % s.variables;
            bool repeated = false;
            for (const auto& earlier : row.terms) repeated |= earlier.variable == v;
            if (repeated) continue;
            double c = coefficients[rng() % 8];
            row.terms.push_back(Term{v, c});
            at += c * reference[v];
        }
        row.relation = static_cast<Relation>(static_cast<int>(rng() % 3) - 1);
        row.priority = priorities[rng() % 9];
        if (row.priority >= 1000) {
            // Holds at the reference point, so the required part is satisfiable.
            double gap = row.relation == Relation::Equal ? 0 : slack(rng);
            row.constant = -at + (row.relation == Relation::GreaterOrEqual ? gap : -gap);
        } else {
            row.constant = -at + miss(rng);
        }
        s.rows.push_back(row);
    }
    return s;
}

double evaluate(const Row& row, const std::vector<double>& x) {
    double e = row.constant;
    for (const auto& t : row.terms) e += t.coefficient * x[t.variable];
    return e;
}

double violation(const Row& row, const std::vector<double>& x) {
    double e = evaluate(row, x);
    switch (row.relation) {
        case Relation::Equal: return std::fabs(e);
        case Relation::GreaterOrEqual: return std::max(0.0, -e);
        case Relation::LessOrEqual: return std::max(0.0, e);
    }
    return 0;
}

// Violations within the satisfaction tolerance count as none: a weight near
// 10^4 would otherwise turn rounding in the last digits into a difference.
constexpr double kSatisfied = 1e-6;

double errorSum(const System& s, const std::vector<double>& x) {
    double sum = 0;
    for (const auto& row : s.rows) {
        double v = violation(row, x);
        if (row.priority < 1000 && v > kSatisfied) sum += weightForPriority(row.priority) * v;
    }
    return sum;
}

}  // namespace

TEST(LayoutSolverPeer, RandomSystemsAgreeWithTheIndependentSolver) {
    if (std::system((std::string(kPython) + " -c 'import kiwisolver' >/dev/null 2>&1").c_str()) != 0)
        GTEST_SKIP() << "python3-kiwisolver is not installed";
    std::mt19937 rng(20261210);
    std::vector<System> systems;
    for (int i = 0; i < 200; ++i) systems.push_back(randomSystem(rng));

    auto dir = std::filesystem::temp_directory_path() / ("layout-peer-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    {
        std::ofstream out(dir / "systems.txt");
        out.precision(17);
        for (const auto& s : systems) {
            out << "system " << s.variables << "\n";
            for (const auto& row : s.rows) {
                out << "c " << static_cast<int>(row.relation) << " ";
                if (row.priority >= 1000)
                    out << "R";
                else
                    out << weightForPriority(row.priority) * 1e4;  // the peer's strength scale
                out << " " << row.constant << " " << row.terms.size();
                for (const auto& t : row.terms) out << " " << t.variable << " " << t.coefficient;
                out << "\n";
            }
            out << "end\n";
        }
    }
    std::string command = std::string(kPython) + " " + TEST_SOURCE_DIR + "/layout_peer_solve.py " +
                          (dir / "systems.txt").string() + " " + (dir / "values.txt").string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(dir / "values.txt");
    int peerFailures = 0;
    for (std::size_t i = 0; i < systems.size(); ++i) {
        SCOPED_TRACE("system " + std::to_string(i));
        const auto& s = systems[i];
        std::string line;
        ASSERT_TRUE(std::getline(in, line));
        if (line == "failed") {
            ++peerFailures;
            continue;
        }
        std::istringstream values(line);
        std::vector<double> peer(s.variables);
        for (auto& v : peer) values >> v;

        LinearSolver solver;
        for (int v = 0; v < s.variables; ++v) solver.newVariable();
        for (const auto& row : s.rows)
            ASSERT_TRUE(solver.addConstraint(row.terms, row.constant, row.relation, weightForPriority(row.priority)).ok());
        std::vector<double> ours(s.variables);
        for (int v = 0; v < s.variables; ++v) ours[v] = solver.value(static_cast<uint32_t>(v));
        for (const auto& row : s.rows)
            if (row.priority >= 1000) {
                EXPECT_LT(violation(row, ours), kSatisfied);
                EXPECT_LT(violation(row, peer), kSatisfied);
            }
        double a = errorSum(s, ours), b = errorSum(s, peer);
        EXPECT_NEAR(a, b, 1e-6);
    }
    std::filesystem::remove_all(dir);
    // The peer aborts on a few systems of widely spread strengths; most must be compared.
    RecordProperty("peer_failures", peerFailures);
    EXPECT_LE(peerFailures, 40);
}
