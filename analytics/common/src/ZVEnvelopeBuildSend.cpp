// The envelope builder's send trigger: readiness, the send step on the main queue and the
// limits on waiting files.
#include <analytics_common/ZVEnvelopeBuild.h>

#include <analytics_common/ZVCommonLog.h>
#include <analytics_common/ZVConfigureCache.h>
#include <analytics_common/ZVFileUtility.h>
#include <analytics_common/ZVHelper.h>
#include <analytics_common/ZVNetworkWork.h>
#include <analytics_common/ZVSLNetworkWork.h>
#include <analytics_common/ZVUtils.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_foundation/NSPathUtilities.h>
#include <platform_runtime/ObjCRuntime.h>

namespace {

// The engine's "backstate": 1 means nothing is sent while the app is in the background.
int32_t engineBackstate() {
    const auto engine = performClassSelector("ZuzOzevoInternal", "sharedInstance");
    if (!engine || !engine->isObject()) return 0;
    const auto v = performSelector(engine->asObject().get(), "backstate");
    return v ? v->intValue() : 0;
}

}  // namespace

void ZVEnvelopeBuild::validateEnvelopeFiles(Value& paths) {
    if (!paths.isArray()) return;
    Value kept = Value::mutableArray();
    for (const Value& p : paths.asArray())
        if (p.isString() && ZVFileUtility::isExistAtPath(p.asStdString())) kept.addObject(p);
    ZVFileUtility::sortFileWithCreatedTime(kept);
    paths = std::move(kept);
}

Value ZVEnvelopeBuild::envelopeFilesForSubFolders() {
    Value out = Value::mutableArray();
    for (const auto& [name, limit] : ZVEnvelopeSubFolder::sharedInstance()->envelopeSubFolderDic()) {
        Value files = ZVFileUtility::envelopeFilesWithSubFolder(Value(name));
        if (files.count() == 0) continue;
        validateEnvelopeFiles(files);
        while (files.count() > limit) {
            (void)ZVFileUtility::removeFile(files[0].asStdString());
            files.removeObjectAtIndex(0);
        }
        for (const Value& f : files.asArray()) out.addObject(f);
    }
    return out;
}

bool ZVEnvelopeBuild::isReadyBuild() {
    if (jobRunning()) {
        ZVLOG_COMMON(ZVLogFlagDebug, "common_envelope_debug1");
        return false;
    }
    const int32_t status = ZVUtils::accessString().empty() ? ZVConfigureCache::sharedInstance()->eNetStatus() : 1;
    if (status == 0) {
        ZVLOG_COMMON(ZVLogFlagDebug, "common_envelope_debug2");
        return false;
    }
    Value root = ZVFileUtility::envelopeFiles();
    validateEnvelopeFiles(root);
    if (root.count() > 0 || envelopeFilesForSubFolders().count() > 0) {
        ZVLOG_COMMON(ZVLogFlagDebug, "common_envelope_debug3");
        preparePerformLog();
        return false;
    }
    return true;
}

void ZVEnvelopeBuild::preparePerformLog() {
    auto self = std::static_pointer_cast<ZVEnvelopeBuild>(shared_from_this());
    dispatch_async(dispatch_get_main_queue(), [self] {
        if (ZVHelper::getAppState() == 3 && engineBackstate() == 1) return;
        Value root = ZVFileUtility::envelopeFiles();
        validateEnvelopeFiles(root);
        const Value sub = envelopeFilesForSubFolders();
        if (root.count() == 0 && sub.count() == 0) return;
        while (root.count() > kMaxRootFiles) {
            const std::string oldest = root[0].asStdString();
            (void)ZVFileUtility::removeFile(oldest);
            root.removeObjectAtIndex(0);
            ZVLOG_COMMON(ZVLogFlagWarning, "common_envelope_warn1", Value(int64_t(kMaxRootFiles)),
                         Value(lastPathComponent(oldest)));
        }
        Value all = Value::mutableArray();
        for (const Value& f : root.asArray()) all.addObject(f);
        for (const Value& f : sub.asArray()) all.addObject(f);
        ZVFileUtility::sortFileWithCreatedTime(all);
        auto work = std::make_shared<ZVNetworkWork>();
        work->setEnvelopeFilePaths(std::move(all));
        self->setJobRunning(true);
        self->networkerQueue_->addOperation(work);
    });
}

void ZVEnvelopeBuild::afterBuild(const Value& body, const std::string& path, const std::string& pathURL) {
    const bool failed = body.isDictionary() && !body.objectForKey(Value("exception")).isNull();
    if (!failed && !pathURL.empty() && ZVUtils::accessStatus() != 0) {
        auto work = std::make_shared<ZVSLNetworkWork>();
        work->setEnvelopeFilePaths(Value::array({Value(path)}));
        ZVConfigureCache::sharedInstance()->slnetworkerQueue()->addOperation(work);
    }
    if (pathURL.empty() && !jobRunning() && ZVConfigureCache::sharedInstance()->eNetStatus() != 0) preparePerformLog();
}
