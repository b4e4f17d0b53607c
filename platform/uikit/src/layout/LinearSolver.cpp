#include "layout/LinearSolver.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace uikit_layout {

namespace {

bool nearZero(double v) { return std::fabs(v) < LinearSolver::kEpsilon; }

}  // namespace

// --- rows ---

double LinearSolver::Row::coefficientFor(uint32_t symbol) const {
    auto it = std::lower_bound(cells.begin(), cells.end(), symbol,
                               [](const Cell& c, uint32_t s) { return c.symbol < s; });
    return it != cells.end() && it->symbol == symbol ? it->coefficient : 0.0;
}

void LinearSolver::Row::add(uint32_t symbol, double coefficient) {
    auto it = std::lower_bound(cells.begin(), cells.end(), symbol,
                               [](const Cell& c, uint32_t s) { return c.symbol < s; });
    if (it != cells.end() && it->symbol == symbol) {
        it->coefficient += coefficient;
        if (nearZero(it->coefficient)) cells.erase(it);
    } else if (!nearZero(coefficient)) {
        cells.insert(it, Cell{symbol, coefficient});
    }
}

void LinearSolver::Row::addRow(const Row& other, double factor, std::vector<uint32_t>* added) {
    constant += other.constant * factor;
    // Merged in place from the back, after making room for the symbols new to this row.
    std::size_t fresh = 0;
    auto a = cells.begin();
    for (const auto& b : other.cells) {
        while (a != cells.end() && a->symbol < b.symbol) ++a;
        if (a == cells.end() || a->symbol != b.symbol) ++fresh;
    }
    const std::ptrdiff_t old = static_cast<std::ptrdiff_t>(cells.size());
    cells.resize(cells.size() + fresh);
    std::ptrdiff_t i = old - 1, j = static_cast<std::ptrdiff_t>(other.cells.size()) - 1,
                   k = static_cast<std::ptrdiff_t>(cells.size()) - 1;
    bool zeros = false;
    while (j >= 0) {
        const Cell& b = other.cells[j];
        if (i >= 0 && cells[i].symbol > b.symbol) {
            cells[k--] = cells[i--];
        } else if (i >= 0 && cells[i].symbol == b.symbol) {
            double c = cells[i--].coefficient + b.coefficient * factor;
            zeros |= nearZero(c);
            cells[k--] = Cell{b.symbol, c};
            --j;
        } else {
            double c = b.coefficient * factor;
            if (nearZero(c))
                zeros = true;
            else if (added)
                added->push_back(b.symbol);
            cells[k--] = Cell{b.symbol, c};
            --j;
        }
    }
    // The cells before i are where they were.
    if (zeros)
        cells.erase(std::remove_if(cells.begin(), cells.end(), [](const Cell& c) { return nearZero(c.coefficient); }),
                    cells.end());
}

void LinearSolver::Row::remove(uint32_t symbol) {
    auto it = std::lower_bound(cells.begin(), cells.end(), symbol,
                               [](const Cell& c, uint32_t s) { return c.symbol < s; });
    if (it != cells.end() && it->symbol == symbol) cells.erase(it);
}

void LinearSolver::Row::negate() {
    constant = -constant;
    for (auto& c : cells) c.coefficient = -c.coefficient;
}

// 0 = constant + c·symbol + rest  becomes  symbol = -(constant + rest) / c.
void LinearSolver::Row::solveFor(uint32_t symbol) {
    double c = coefficientFor(symbol);
    remove(symbol);
    double factor = -1.0 / c;
    constant *= factor;
    for (auto& cell : cells) cell.coefficient *= factor;
}

// lhs = constant + Σ (lhs not among the cells)  becomes  rhs = ... in terms of lhs.
void LinearSolver::Row::solveFor(uint32_t lhs, uint32_t rhs) {
    add(lhs, -1.0);
    solveFor(rhs);
}

bool LinearSolver::Row::substitute(uint32_t symbol, const Row& row, std::vector<uint32_t>* added) {
    double c = coefficientFor(symbol);
    if (c == 0.0) return false;
    remove(symbol);
    addRow(row, c, added);
    return true;
}

// --- symbols and the tableau ---

LinearSolver::LinearSolver() = default;

uint32_t LinearSolver::newSymbol(Kind kind, uint32_t owner) {
    kinds_.push_back(kind);
    owners_.push_back(owner);
    rowIndex_.push_back(-1);
    columns_.emplace_back();
    marks_.push_back(0);
    return static_cast<uint32_t>(kinds_.size() - 1);
}

uint32_t LinearSolver::newVariable() { return newSymbol(Kind::External); }

double LinearSolver::value(uint32_t variable) const {
    int32_t index = variable < rowIndex_.size() ? rowIndex_[variable] : -1;
    return index >= 0 ? rows_[index].row.constant : 0.0;
}

template <class F>
void LinearSolver::eachRowWith(uint32_t symbol, const F& f) {
    auto& column = columns_[symbol];
    if (++epoch_ == 0) {
        std::fill(marks_.begin(), marks_.end(), 0);
        epoch_ = 1;
    }
    std::size_t kept = 0;
    for (std::size_t i = 0; i < column.size(); ++i) {
        const uint32_t basic = column[i];
        const int32_t index = rowIndex_[basic];
        if (index < 0 || marks_[basic] == epoch_) continue;
        const double c = rows_[index].row.coefficientFor(symbol);
        if (c == 0.0) continue;
        marks_[basic] = epoch_;
        column[kept++] = basic;
        f(index, c);
    }
    column.resize(kept);
}

void LinearSolver::noteCells(uint32_t basic, const std::vector<uint32_t>& symbols) {
    for (uint32_t symbol : symbols) columns_[symbol].push_back(basic);
}

void LinearSolver::insertRow(uint32_t basic, Row row) {
    for (const auto& cell : row.cells) columns_[cell.symbol].push_back(basic);
    rowIndex_[basic] = static_cast<int32_t>(rows_.size());
    rows_.push_back(Basic{basic, std::move(row)});
}

LinearSolver::Row LinearSolver::takeRow(int32_t index) {
    Row row = std::move(rows_[index].row);
    rowIndex_[rows_[index].symbol] = -1;
    if (static_cast<std::size_t>(index) != rows_.size() - 1) {
        rows_[index] = std::move(rows_.back());
        rowIndex_[rows_[index].symbol] = index;
    }
    rows_.pop_back();
    return row;
}

void LinearSolver::substitute(uint32_t symbol, const Row& row) {
    eachRowWith(symbol, [&](int32_t index, double) {
        auto& basic = rows_[index];
        added_.clear();
        basic.row.substitute(symbol, row, &added_);
        noteCells(basic.symbol, added_);
        if (restricted(basic.symbol) && basic.row.constant < 0.0) infeasible_.push_back(basic.symbol);
    });
    columns_[symbol].clear();  // no row holds it any more
    objective_.substitute(symbol, row);
    if (artificial_) artificial_->substitute(symbol, row);
}

void LinearSolver::pivot(int32_t index, uint32_t entering) {
    uint32_t leaving = rows_[index].symbol;
    Row row = takeRow(index);
    row.solveFor(leaving, entering);
    substitute(entering, row);
    insertRow(entering, std::move(row));
}

// Primal simplex: the lowest symbol with a negative objective coefficient
// enters, the tightest restricted row leaves (lowest symbol on ties), which
// cannot cycle.
void LinearSolver::optimize(Row& objective) {
    for (;;) {
        uint32_t entering = UINT32_MAX;
        for (const auto& cell : objective.cells) {
            if (cell.coefficient < -kEpsilon && kinds_[cell.symbol] != Kind::Dummy) {
                entering = cell.symbol;
                break;
            }
        }
        if (entering == UINT32_MAX) return;
        int32_t leaving = -1;
        double best = std::numeric_limits<double>::infinity();
        eachRowWith(entering, [&](int32_t i, double c) {
            const auto& basic = rows_[i];
            if (kinds_[basic.symbol] == Kind::External || c >= -kEpsilon) return;
            double ratio = -basic.row.constant / c;
            if (ratio < best - kEpsilon ||
                (ratio < best + kEpsilon && leaving >= 0 && basic.symbol < rows_[leaving].symbol)) {
                best = std::min(best, ratio);
                leaving = i;
            }
        });
        if (leaving < 0) throw std::logic_error("layout solver: unbounded objective");
        pivot(leaving, entering);
    }
}

// Dual simplex over the rows whose restricted basic went negative.
bool LinearSolver::dualOptimize() {
    while (!infeasible_.empty()) {
        uint32_t leaving = infeasible_.back();
        infeasible_.pop_back();
        int32_t index = rowIndex_[leaving];
        if (index < 0 || rows_[index].row.constant >= -kEpsilon) continue;
        uint32_t entering = UINT32_MAX;
        double best = std::numeric_limits<double>::infinity();
        for (const auto& cell : rows_[index].row.cells) {
            if (cell.coefficient <= kEpsilon || kinds_[cell.symbol] == Kind::Dummy) continue;
            double ratio = objective_.coefficientFor(cell.symbol) / cell.coefficient;
            if (ratio < best - kEpsilon) {
                best = ratio;
                entering = cell.symbol;
            }
        }
        if (entering == UINT32_MAX) {
            infeasible_.clear();
            return false;
        }
        pivot(index, entering);
    }
    return true;
}

// --- adding ---

LinearSolver::AddResult LinearSolver::addConstraint(const std::vector<Term>& terms, double constant, Relation relation,
                                                    double weight) {
    if (!std::isfinite(constant)) throw std::invalid_argument("layout solver: non-finite constant");
    for (const auto& t : terms) {
        if (!std::isfinite(t.coefficient)) throw std::invalid_argument("layout solver: non-finite coefficient");
        if (t.variable >= kinds_.size() || kinds_[t.variable] != Kind::External)
            throw std::invalid_argument("layout solver: unknown variable");
    }
    if (!(weight > 0)) throw std::invalid_argument("layout solver: weight must be positive");
    uint32_t id = static_cast<uint32_t>(records_.size());
    Record record;
    record.terms = terms;
    record.constant = constant;
    record.relation = relation;
    record.weight = weight;
    record.live = true;
    records_.push_back(std::move(record));
    AddResult result = enter(id);
    if (!result.ok()) records_[id].live = false;
    return result;
}

LinearSolver::AddResult LinearSolver::enter(uint32_t id) {
    Record& rec = records_[id];
    const bool required = std::isinf(rec.weight);
    Row row;
    row.constant = rec.constant;
    for (const auto& t : rec.terms) {
        if (nearZero(t.coefficient)) continue;
        int32_t index = rowIndex_[t.variable];
        if (index >= 0)
            row.addRow(rows_[index].row, t.coefficient);
        else
            row.add(t.variable, t.coefficient);
    }
    uint32_t marker, other = UINT32_MAX;
    if (rec.relation != Relation::Equal) {
        // expression >= 0:  expression - slack (+ error) = 0;  <= mirrors it.
        double sign = rec.relation == Relation::GreaterOrEqual ? -1.0 : 1.0;
        marker = newSymbol(Kind::Slack, id);
        row.add(marker, sign);
        rec.markerCoefficient = sign;
        if (!required) {
            other = newSymbol(Kind::Error, id);
            row.add(other, -sign);
            objective_.add(other, rec.weight);
        }
    } else if (!required) {
        marker = newSymbol(Kind::Error, id);
        other = newSymbol(Kind::Error, id);
        row.add(marker, -1.0);
        row.add(other, 1.0);
        rec.markerCoefficient = -1.0;
        objective_.add(marker, rec.weight);
        objective_.add(other, rec.weight);
    } else {
        marker = newSymbol(Kind::Dummy, id);
        row.add(marker, 1.0);
        rec.markerCoefficient = 1.0;
    }
    rec.marker = marker;
    rec.other = other;
    if (row.constant < 0.0) row.negate();

    AddResult result;
    uint32_t subject = UINT32_MAX;
    bool allDummies = true;
    for (const auto& cell : row.cells) {
        if (kinds_[cell.symbol] == Kind::External) {
            subject = cell.symbol;
            break;
        }
        if (kinds_[cell.symbol] != Kind::Dummy) allDummies = false;
    }
    if (subject == UINT32_MAX) {
        if (restricted(marker) && row.coefficientFor(marker) < 0.0)
            subject = marker;
        else if (other != UINT32_MAX && restricted(other) && row.coefficientFor(other) < 0.0)
            subject = other;
    }
    if (subject == UINT32_MAX && allDummies) {
        if (!nearZero(row.constant)) {
            collectConflicts(row, result.conflicts);
            return result;
        }
        subject = marker;  // redundant: holds already
    }
    if (subject == UINT32_MAX) {
        if (!addWithArtificial(std::move(row), result.conflicts)) {
            optimize(objective_);
            return result;
        }
    } else {
        row.solveFor(subject);
        substitute(subject, row);
        insertRow(subject, std::move(row));
    }
    rec.inTableau = true;
    optimize(objective_);
    result.constraint = id;
    return result;
}

bool LinearSolver::addWithArtificial(Row row, std::vector<uint32_t>& conflicts) {
    uint32_t art = newSymbol(Kind::Slack);
    Row objective = row;
    insertRow(art, std::move(row));
    artificial_ = &objective;
    optimize(objective);
    artificial_ = nullptr;
    bool success = nearZero(objective.constant);
    if (isBasic(art)) {
        Row remaining = takeRow(rowIndex_[art]);
        if (!success) {
            collectConflicts(remaining, conflicts);
        } else if (!remaining.cells.empty()) {
            uint32_t entering = UINT32_MAX;
            for (const auto& cell : remaining.cells)
                if (restricted(cell.symbol)) {
                    entering = cell.symbol;
                    break;
                }
            if (entering == UINT32_MAX) entering = remaining.cells.front().symbol;
            remaining.solveFor(art, entering);
            substitute(entering, remaining);
            insertRow(entering, std::move(remaining));
        }
    }
    eachRowWith(art, [&](int32_t index, double) { rows_[index].row.remove(art); });
    columns_[art].clear();
    objective_.remove(art);
    return success;
}

// The required constraints whose markers hold the refused row away from zero.
void LinearSolver::collectConflicts(const Row& row, std::vector<uint32_t>& conflicts) const {
    for (const auto& cell : row.cells) {
        uint32_t owner = owners_[cell.symbol];
        if (owner == kNoConstraint || !std::isinf(records_[owner].weight)) continue;
        if (std::find(conflicts.begin(), conflicts.end(), owner) == conflicts.end()) conflicts.push_back(owner);
    }
}

// --- removing ---

int32_t LinearSolver::markerLeavingRow(uint32_t marker) {
    double r1 = std::numeric_limits<double>::infinity(), r2 = r1;
    int32_t first = -1, second = -1, third = -1;
    eachRowWith(marker, [&](int32_t i, double c) {
        if (kinds_[rows_[i].symbol] == Kind::External) {
            third = i;
        } else if (c < 0.0) {
            double r = -rows_[i].row.constant / c;
            if (r < r1) r1 = r, first = i;
        } else {
            double r = rows_[i].row.constant / c;
            if (r < r2) r2 = r, second = i;
        }
    });
    return first >= 0 ? first : second >= 0 ? second : third;
}

void LinearSolver::takeOut(uint32_t id) {
    Record& rec = records_[id];
    if (!rec.inTableau) return;
    rec.inTableau = false;
    for (uint32_t symbol : {rec.marker, rec.other}) {
        if (symbol == UINT32_MAX || kinds_[symbol] != Kind::Error) continue;
        int32_t index = rowIndex_[symbol];
        if (index >= 0)
            objective_.addRow(rows_[index].row, -rec.weight);
        else
            objective_.add(symbol, -rec.weight);
    }
    int32_t index = rowIndex_[rec.marker];
    if (index >= 0) {
        (void)takeRow(index);
    } else if ((index = markerLeavingRow(rec.marker)) >= 0) {
        uint32_t leaving = rows_[index].symbol;
        Row row = takeRow(index);
        row.solveFor(leaving, rec.marker);
        substitute(rec.marker, row);
    }
    optimize(objective_);
}

void LinearSolver::removeConstraint(uint32_t id) {
    if (!contains(id)) return;
    takeOut(id);
    records_[id].live = false;
    records_[id].terms.clear();
}

// --- constants and edits ---

LinearSolver::AddResult LinearSolver::setConstant(uint32_t id, double constant) {
    if (!std::isfinite(constant)) throw std::invalid_argument("layout solver: non-finite constant");
    AddResult result;
    if (!contains(id)) return result;
    Record& rec = records_[id];
    double delta = constant - rec.constant;
    rec.constant = constant;
    result.constraint = id;
    if (delta == 0.0 || !rec.inTableau) return result;
    // The system with the new constant is the old one with the marker
    // shifted: marker_old = marker_new + delta / markerCoefficient.
    double shift = delta / rec.markerCoefficient;
    int32_t index = rowIndex_[rec.marker];
    bool redundantRequired = false;
    if (index >= 0) {
        Row& row = rows_[index].row;
        row.constant -= shift;
        if (kinds_[rec.marker] == Kind::Dummy)
            redundantRequired = !nearZero(row.constant);
        else if (row.constant < 0.0)
            infeasible_.push_back(rec.marker);
    } else {
        eachRowWith(rec.marker, [&](int32_t i, double c) {
            auto& basic = rows_[i];
            basic.row.constant += c * shift;
            if (restricted(basic.symbol) && basic.row.constant < 0.0) infeasible_.push_back(basic.symbol);
        });
    }
    if (!redundantRequired && dualOptimize()) return result;
    // The new constant contradicts required constraints: rebuild without it, then try it again.
    rec.inTableau = false;
    rebuild();
    result = enter(id);
    if (!result.ok()) rec.live = false;
    return result;
}

uint32_t LinearSolver::addEditVariable(uint32_t variable, double weight, double initialValue) {
    auto result = addConstraint({Term{variable, 1.0}}, -initialValue, Relation::Equal, weight);
    return result.constraint;  // optional constraints always enter
}

void LinearSolver::rebuild() {
    rows_.clear();
    for (auto& column : columns_) column.clear();
    infeasible_.clear();
    objective_ = Row{};
    std::fill(rowIndex_.begin(), rowIndex_.end(), -1);
    for (uint32_t id = 0; id < records_.size(); ++id) {
        if (!records_[id].live || !records_[id].inTableau) continue;
        records_[id].inTableau = false;
        if (!enter(id).ok()) records_[id].live = false;
    }
}

}  // namespace uikit_layout
