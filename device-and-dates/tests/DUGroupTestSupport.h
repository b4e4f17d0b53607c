#pragma once
// Shared pieces of the period-group tests: hours on a fixed day, a subclass of DUTimePeriod and
// a capture of the DUError log.

#include <device_and_dates/DUError.h>
#include <device_and_dates/DUTimePeriod.h>

#include <string>
#include <vector>

#include "DUDateTestEnvironment.h"

class DUTimePeriodSubclass : public DUTimePeriod {
    NS_CLASS(DUTimePeriodSubclass, DUTimePeriod)
};

class DUGroupTest : public ::testing::Test {
protected:
    DUGroupTest() {
        DUError::setLogSinkForTesting([this](const std::string& line) { log.push_back(line); });
    }
    ~DUGroupTest() override { DUError::setLogSinkForTesting(nullptr); }

    NSDate h(double hours) const { return env.at(2024, 3, 13).dateByAddingTimeInterval(hours * 3600); }
    DUTimePeriodPtr span(double from, double to) const { return DUTimePeriod::timePeriodWithStartDate(h(from), h(to)); }
    std::shared_ptr<DUTimePeriodSubclass> subclassSpan(double from, double to) const {
        auto p = std::make_shared<DUTimePeriodSubclass>();
        p->setStartDate(h(from));
        p->setEndDate(h(to));
        return p;
    }
    // The first line of each logged error (the error itself; the call stack follows it).
    std::vector<std::string> loggedErrors() const {
        std::vector<std::string> errors;
        for (const std::string& line : log)
            if (line.rfind("Error Domain=", 0) == 0) errors.push_back(line);
        return errors;
    }

    DUDateTestEnvironment env;
    std::vector<std::string> log;
};
