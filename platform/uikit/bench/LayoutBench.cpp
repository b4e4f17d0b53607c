// Constraint layout: 1,000 views in 100 rows of 10 (chained lefts, equal
// widths in a row, rows stacked) built and solved, and 1,000 changes of the
// superview's width, through the raw solver and through views and
// NSLayoutConstraint. The anchor is the independent solver of Debian's
// python3-kiwisolver on the same system, timed (CPU) inside its Python process in
// the same run (the process start is not counted).

#include "layout/LayoutEngine.h"
#include "layout/LinearSolver.h"

#include <platform_uikit/NSLayoutConstraint.h>
#include <platform_uikit/UIView.h>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

using namespace uikit_layout;

namespace {

constexpr int kRows = 100, kColumns = 10;
constexpr double kStay = 1e-6;

// The same system in the peer: stays at 0 (strength = weight × 10^4), the width required or edited.
const char* kPeerScript = R"PY(
import sys, time
import kiwisolver as kiwi

ROWS, COLS = 100, 10

def build(edit):
    s = kiwi.Solver()
    W = kiwi.Variable("W")
    if edit:
        s.addEditVariable(W, kiwi.strength.strong)
        s.suggestValue(W, 375.0)
    else:
        s.addConstraint(W == 375.0)
    views = []
    for r in range(ROWS):
        row = []
        for c in range(COLS):
            v = [kiwi.Variable() for _ in range(4)]
            for x in v:
                s.addConstraint((x == 0) | 0.01)
            x, y, w, h = v
            s.addConstraint(x == 0 if c == 0 else x == row[c - 1][0] + row[c - 1][2] + 2)
            if c > 0:
                s.addConstraint(w == row[0][2])
            if c == COLS - 1:
                s.addConstraint(x + w == W)
            above = views[r - 1][c] if r > 0 else None
            s.addConstraint(y == 0 if above is None else y == above[1] + above[3] + 2)
            s.addConstraint(h == 20)
            row.append(v)
        views.append(row)
    s.updateVariables()
    return s, W, views

mode, count = sys.argv[1], int(sys.argv[2])
if mode == "build":
    times = []
    for _ in range(count):
        t = time.process_time()
        build(False)
        times.append(time.process_time() - t)
    times.sort()
    print(times[len(times) // 2])
else:
    s, W, views = build(True)
    t = time.process_time()
    for i in range(count):
        s.suggestValue(W, 375.0 + (i % 50))
        s.updateVariables()
    print((time.process_time() - t) / count)
)PY";

double peerSeconds(const char* mode, int count) {
    // Written once, removed when the process ends.
    struct Script {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("layout-peer-bench-" + std::to_string(::getpid()) + ".py");
        Script() { std::ofstream(path) << kPeerScript; }
        ~Script() { std::filesystem::remove(path); }
    };
    static const Script file;
    const std::string script = file.path.string();
    std::string command = "/usr/bin/python3 " + script + " " + mode + " " + std::to_string(count) + " 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    double seconds = -1;
    if (std::fscanf(pipe, "%lf", &seconds) != 1) seconds = -1;
    ::pclose(pipe);
    return seconds;
}

struct Grid {
    LinearSolver solver;
    uint32_t width = 0, widthConstraint = 0;
    std::vector<uint32_t> vars;
};

void buildGrid(Grid& g) {
    auto& s = g.solver;
    g.width = s.newVariable();
    g.widthConstraint = s.addConstraint({{g.width, 1}}, -375, Relation::Equal, LinearSolver::kRequired).constraint;
    const double R = LinearSolver::kRequired;
    g.vars.resize(kRows * kColumns * 4);
    auto at = [&](int r, int c, int k) { return g.vars[(r * kColumns + c) * 4 + k]; };
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            for (int k = 0; k < 4; ++k) {
                uint32_t v = g.vars[(r * kColumns + c) * 4 + k] = s.newVariable();
                s.addConstraint({{v, 1}}, 0, Relation::Equal, kStay);
            }
            uint32_t x = at(r, c, 0), y = at(r, c, 1), w = at(r, c, 2), h = at(r, c, 3);
            if (c == 0)
                s.addConstraint({{x, 1}}, 0, Relation::Equal, R);
            else
                s.addConstraint({{x, 1}, {at(r, c - 1, 0), -1}, {at(r, c - 1, 2), -1}}, -2, Relation::Equal, R);
            if (c > 0) s.addConstraint({{w, 1}, {at(r, 0, 2), -1}}, 0, Relation::Equal, R);
            if (c == kColumns - 1) s.addConstraint({{x, 1}, {w, 1}, {g.width, -1}}, 0, Relation::Equal, R);
            if (r == 0)
                s.addConstraint({{y, 1}}, 0, Relation::Equal, R);
            else
                s.addConstraint({{y, 1}, {at(r - 1, c, 1), -1}, {at(r - 1, c, 3), -1}}, -2, Relation::Equal, R);
            s.addConstraint({{h, 1}}, -20, Relation::Equal, R);
        }
}

double readAll(const Grid& g) {
    double sum = 0;
    for (uint32_t v : g.vars) sum += g.solver.value(v);
    return sum;
}

void BM_GridBuildAndSolve_Solver(benchmark::State& state) {
    for (auto _ : state) {
        Grid g;
        buildGrid(g);
        benchmark::DoNotOptimize(readAll(g));
    }
}
BENCHMARK(BM_GridBuildAndSolve_Solver)->Unit(benchmark::kMillisecond);

using C = NSLayoutConstraint;
UIViewPtr buildViewGrid() {
    auto root = std::make_shared<UIView>(CGRectMake(0, 0, 375, 3000));
    std::vector<UIViewPtr> views;
    std::vector<NSLayoutConstraintPtr> constraints;
    auto make = [&](const UIViewPtr& a, NSLayoutAttribute aa, const UIViewPtr& b, NSLayoutAttribute ba, double k) {
        constraints.push_back(C::constraintWithItem(a, aa, NSLayoutRelationEqual, b, ba, 1, k));
    };
    for (int r = 0; r < kRows; ++r)
        for (int c = 0; c < kColumns; ++c) {
            auto v = std::make_shared<UIView>();
            v->setTranslatesAutoresizingMaskIntoConstraints(false);
            root->addSubview(v);
            views.push_back(v);
            if (c == 0)
                make(v, NSLayoutAttributeLeft, root, NSLayoutAttributeLeft, 0);
            else
                make(v, NSLayoutAttributeLeft, views[views.size() - 2], NSLayoutAttributeRight, 2);
            if (c > 0) make(v, NSLayoutAttributeWidth, views[static_cast<std::size_t>(r * kColumns)], NSLayoutAttributeWidth, 0);
            if (c == kColumns - 1) make(v, NSLayoutAttributeRight, root, NSLayoutAttributeRight, 0);
            if (r == 0)
                make(v, NSLayoutAttributeTop, root, NSLayoutAttributeTop, 0);
            else
                make(v, NSLayoutAttributeTop, views[views.size() - 1 - kColumns], NSLayoutAttributeBottom, 2);
            constraints.push_back(C::constraintWithItem(v, NSLayoutAttributeHeight, NSLayoutRelationEqual, nullptr,
                                                        NSLayoutAttributeNotAnAttribute, 1, 20));
        }
    root->addConstraints(constraints);
    root->layoutIfNeeded();
    return root;
}

void BM_GridBuildAndSolve_Views(benchmark::State& state) {
    for (auto _ : state) {
        auto root = buildViewGrid();
        benchmark::DoNotOptimize(root->subviews().back()->frame());
        state.PauseTiming();
        root.reset();  // tearing the views down is not part of building
        state.ResumeTiming();
    }
}
BENCHMARK(BM_GridBuildAndSolve_Views)->Unit(benchmark::kMillisecond);

void BM_GridBuildAndSolve_Peer(benchmark::State& state) {
    for (auto _ : state) {
        double seconds = peerSeconds("build", 5);
        if (seconds < 0) {
            state.SkipWithError("python3-kiwisolver is not installed");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_GridBuildAndSolve_Peer)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_WidthEdit_Solver(benchmark::State& state) {
    Grid g;
    buildGrid(g);
    int i = 0;
    for (auto _ : state) {
        (void)g.solver.setConstant(g.widthConstraint, -(375.0 + (i++ % 50)));
        benchmark::DoNotOptimize(readAll(g));
    }
}
BENCHMARK(BM_WidthEdit_Solver)->Iterations(1000)->Unit(benchmark::kMicrosecond);

void BM_WidthEdit_Views(benchmark::State& state) {
    auto root = buildViewGrid();
    int i = 0;
    for (auto _ : state) {
        root->setFrame(CGRectMake(0, 0, 375.0 + (i++ % 50), 3000));
        root->layoutIfNeeded();
        benchmark::DoNotOptimize(root->subviews().back()->frame());
    }
}
BENCHMARK(BM_WidthEdit_Views)->Iterations(1000)->Unit(benchmark::kMicrosecond);

void BM_WidthEdit_Peer(benchmark::State& state) {
    for (auto _ : state) {
        double seconds = peerSeconds("edit", 100);  // the peer takes tens of ms an edit here
        if (seconds < 0) {
            state.SkipWithError("python3-kiwisolver is not installed");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_WidthEdit_Peer)->UseManualTime()->Iterations(1)->Unit(benchmark::kMicrosecond);

}  // namespace
