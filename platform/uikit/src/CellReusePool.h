#pragma once
// The cell registrations and reuse pools a table or collection view keeps:
// a factory per reuse identifier, and the cells that left the screen, by
// identifier, waiting to be handed out again (prepared for reuse).
//
// Main thread; owned by its view.

#include <platform_uikit/UINib.h>

#include <platform_runtime/NSException.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace uikit_detail {

template <class Cell>
class CellReusePool {
public:
    using Factory = std::function<std::shared_ptr<Cell>(const std::string& reuseIdentifier)>;

    // A null factory removes the registration.
    void registerFactory(const std::string& reuseIdentifier, Factory factory, const char* owner) {
        if (reuseIdentifier.empty())
            NSException::raise(NSInvalidArgumentException, std::string("-[") + owner + " register]: empty reuse identifier");
        if (factory)
            factories_[reuseIdentifier] = std::move(factory);
        else
            factories_.erase(reuseIdentifier);
    }

    // New cells from the nib's one top-level object, which must be a `Cell`
    // (`cellClass` names it in the error raised at dequeue otherwise).
    static Factory nibFactory(const std::shared_ptr<UINib>& nib, const char* cellClass) {
        if (!nib) return nullptr;
        return [nib, cellClass](const std::string& id) {
            auto objects = nib->instantiateWithOwner(nullptr);
            auto cell = objects.size() == 1 ? objects[0].template objectAs<Cell>() : nullptr;
            if (!cell)
                NSException::raise(NSInternalInconsistencyException,
                                   "invalid nib registered for identifier (" + id +
                                       ") - nib must contain exactly one top level object which must be a " +
                                       cellClass + " instance");
            return cell;
        };
    }

    bool isRegistered(const std::string& reuseIdentifier) const { return factories_.count(reuseIdentifier) > 0; }

    // A pooled cell (prepared for reuse), else a new one from the registration,
    // else null. A new cell takes the identifier it was made for (whatever a
    // nib named it), so it comes back to this pool.
    std::shared_ptr<Cell> dequeue(const std::string& reuseIdentifier) {
        auto pool = pools_.find(reuseIdentifier);
        if (pool != pools_.end() && !pool->second.empty()) {
            auto cell = std::move(pool->second.back());
            pool->second.pop_back();
            cell->prepareForReuse();
            return cell;
        }
        auto factory = factories_.find(reuseIdentifier);
        if (factory == factories_.end()) return nullptr;
        auto cell = factory->second(reuseIdentifier);
        if (cell) cell->setReuseIdentifier(reuseIdentifier);
        return cell;
    }

    // Takes a cell off the screen; one with a reuse identifier waits in its pool.
    void recycle(const std::shared_ptr<Cell>& cell) {
        cell->removeFromSuperview();
        if (!cell->reuseIdentifier().empty()) pools_[cell->reuseIdentifier()].push_back(cell);
    }

private:
    std::map<std::string, Factory> factories_;
    std::map<std::string, std::vector<std::shared_ptr<Cell>>> pools_;
};

// The cells on screen by index path: one, all (in index-path order), their paths.
template <class Map>
typename Map::mapped_type shownCell(const Map& shown, const typename Map::key_type& path) {
    auto it = shown.find(path);
    return it == shown.end() ? nullptr : it->second;
}

template <class Map>
std::vector<typename Map::mapped_type> shownCells(const Map& shown) {
    std::vector<typename Map::mapped_type> out;
    for (auto& [path, cell] : shown) out.push_back(cell);
    return out;
}

template <class Map>
std::vector<typename Map::key_type> shownPaths(const Map& shown) {
    std::vector<typename Map::key_type> out;
    for (auto& [path, cell] : shown) out.push_back(path);
    return out;
}

}  // namespace uikit_detail
