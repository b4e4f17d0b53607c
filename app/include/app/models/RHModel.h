#pragma once
// The release history (one entry per day), wrapped by the caller as {"rhitems": [...]}.

#include <memory>
#include <string>
#include <vector>

#include <model_mapping/MMModel.h>

// One release on a day.
class ReleaseItem : public MMModel {
    NS_CLASS(ReleaseItem, MMModel)
    NS_PROPERTY(std::string, count, setCount, "&,N")
    NS_PROPERTY(std::string, name, setName, "&,N")
    NS_PROPERTY(std::string, type, setType, "&,N")
    NS_PROPERTY(std::string, date, setDate, "&,N")
};

// One day of releases.
class ReleasesItem : public MMModel {
    NS_CLASS(ReleasesItem, MMModel)
    NS_PROPERTY(std::vector<std::shared_ptr<ReleaseItem>>, releases, setReleases, "&,N")
    NS_PROPERTY(std::string, date, setDate, "&,N")
};

class RHModel : public MMModel {
    NS_CLASS(RHModel, MMModel)
    NS_PROPERTY(std::vector<std::shared_ptr<ReleasesItem>>, rhitems, setRhitems, "&,N")
};
