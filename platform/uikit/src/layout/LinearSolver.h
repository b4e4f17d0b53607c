#pragma once
// Incremental solver for systems of linear equalities and inequalities with
// priorities: a simplex tableau kept in solved form, with slack, error and
// dummy markers per constraint. Required constraints are hard; an optional
// one adds its weighted error (two-sided for an equality, one-sided for an
// inequality) to the objective that the primal simplex minimises. Adding and
// removing constraints are incremental; changing a constraint's constant
// shifts its marker in place and restores feasibility with the dual simplex.
//
// A constraint reads  Σ coefficient·variable + constant  (<= | == | >=)  0.
// Variables are free; a variable no constraint pins reads 0.
//
// Single thread (the layout engine's, the main thread). Not copyable.

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace uikit_layout {

enum class Relation : int8_t { LessOrEqual = -1, Equal = 0, GreaterOrEqual = 1 };

struct Term {
    uint32_t variable;
    double coefficient;
};

class LinearSolver {
public:
    // Coefficients, constants and values closer to zero than this count as zero.
    static constexpr double kEpsilon = 1e-8;
    static constexpr double kRequired = std::numeric_limits<double>::infinity();
    static constexpr uint32_t kNoConstraint = UINT32_MAX;

    LinearSolver();
    LinearSolver(const LinearSolver&) = delete;
    LinearSolver& operator=(const LinearSolver&) = delete;

    uint32_t newVariable();
    double value(uint32_t variable) const;

    struct AddResult {
        uint32_t constraint = kNoConstraint;  // kNoConstraint when refused
        // Required constraints already in the system that the refused one contradicts.
        std::vector<uint32_t> conflicts;
        bool ok() const { return constraint != kNoConstraint; }
    };
    // weight: kRequired, or a positive finite weight of the constraint's error.
    // Non-finite coefficients or constants throw std::invalid_argument.
    AddResult addConstraint(const std::vector<Term>& terms, double constant, Relation relation, double weight);
    void removeConstraint(uint32_t constraint);
    // Changes the constant of a constraint in the system without removing it. A
    // required constraint that can no longer hold is taken out of the system
    // and its conflicts returned (the result's constraint is then kNoConstraint).
    AddResult setConstant(uint32_t constraint, double constant);
    double constantOf(uint32_t constraint) const { return records_.at(constraint).constant; }
    bool contains(uint32_t constraint) const {
        return constraint < records_.size() && records_[constraint].live;
    }

    // An edit variable: an optional constraint variable == value, moved by suggestValue.
    uint32_t addEditVariable(uint32_t variable, double weight, double initialValue);
    void suggestValue(uint32_t edit, double value) { (void)setConstant(edit, -value); }

    std::size_t rowCount() const { return rows_.size(); }
    // The weighted error sum of the optional constraints at the current solution.
    double objectiveValue() const { return objective_.constant; }

private:
    enum class Kind : uint8_t { External, Slack, Error, Dummy };
    struct Cell {
        uint32_t symbol;
        double coefficient;
    };
    // basic = constant + Σ cells (cells sorted by symbol); before a subject is
    // chosen, 0 = constant + Σ cells.
    struct Row {
        double constant = 0;
        std::vector<Cell> cells;
        double coefficientFor(uint32_t symbol) const;
        void add(uint32_t symbol, double coefficient);
        // Symbols that were not in the row before are appended to `added` when given.
        void addRow(const Row& other, double factor, std::vector<uint32_t>* added = nullptr);
        void remove(uint32_t symbol);
        void negate();
        void solveFor(uint32_t symbol);
        void solveFor(uint32_t lhs, uint32_t rhs);
        bool substitute(uint32_t symbol, const Row& row, std::vector<uint32_t>* added = nullptr);
    };
    struct Basic {
        uint32_t symbol;
        Row row;
    };
    struct Record {
        std::vector<Term> terms;
        double constant = 0;
        Relation relation = Relation::Equal;
        double weight = kRequired;
        uint32_t marker = UINT32_MAX, other = UINT32_MAX;
        double markerCoefficient = 1;  // of the marker in  0 = expression + markers
        bool live = false;
        bool inTableau = false;
    };

    uint32_t newSymbol(Kind kind, uint32_t owner = kNoConstraint);
    bool restricted(uint32_t symbol) const { return kinds_[symbol] == Kind::Slack || kinds_[symbol] == Kind::Error; }
    bool isBasic(uint32_t symbol) const { return rowIndex_[symbol] >= 0; }
    void insertRow(uint32_t basic, Row row);
    Row takeRow(int32_t index);
    void substitute(uint32_t symbol, const Row& row);
    void pivot(int32_t index, uint32_t entering);
    void optimize(Row& objective);
    bool dualOptimize();
    int32_t markerLeavingRow(uint32_t marker);
    AddResult enter(uint32_t id);
    bool addWithArtificial(Row row, std::vector<uint32_t>& conflicts);
    void collectConflicts(const Row& row, std::vector<uint32_t>& conflicts) const;
    void takeOut(uint32_t id);
    void rebuild();
    // Calls f(row index, coefficient) for each row whose cells hold `symbol`,
    // through the symbol's column; f may change rows but must not add
    // `symbol` to any.
    template <class F>
    void eachRowWith(uint32_t symbol, const F& f);
    void noteCells(uint32_t basic, const std::vector<uint32_t>& symbols);

    std::vector<Kind> kinds_;
    std::vector<uint32_t> owners_;     // symbol -> constraint of a marker
    std::vector<int32_t> rowIndex_;    // symbol -> index in rows_, or -1
    std::vector<Basic> rows_;
    // symbol -> basic symbols of the rows that may hold it in their cells (a
    // superset: entries go stale when a row drops the symbol or leaves the
    // basis, and are pruned when the column is read), so that substitution,
    // ratio tests and constant shifts visit the rows that matter instead of
    // every row of every view tree.
    std::vector<std::vector<uint32_t>> columns_;
    std::vector<uint32_t> marks_;  // symbol -> epoch it was last visited in a column walk
    uint32_t epoch_ = 0;
    std::vector<uint32_t> added_;  // scratch
    std::vector<Record> records_;
    std::vector<uint32_t> infeasible_;
    Row objective_;
    Row* artificial_ = nullptr;
};

}  // namespace uikit_layout
