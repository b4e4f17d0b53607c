#include <model_mapping/MMModelNetworking.h>

namespace {
bool gIsLoading = false;

MMHTTPClient::JSONCompletion modelAnswer(ObjCClass& cls, MMModelNetworking::Completion completion) {
    ObjCClass* target = &cls;
    return [target, completion](Value json, NSErrorPtr error) {
        MMModelPtr model;
        if (!error) model = MMModel::modelWithDictionary(*target, std::move(json), &error);
        if (completion) dispatch_async(dispatch_get_main_queue(), [completion, model, error] { completion(model, error); });
    };
}
}  // namespace

bool MMModelNetworking::isLoading() { return gIsLoading; }
void MMModelNetworking::setIsLoading(bool loading) { gIsLoading = loading; }

void MMModelNetworking::startFilling(MMModelPtr model, const std::string& urlString, Completion completion) {
    setIsLoading(true);
    MMHTTPClient::getJSONFromURLWithString(urlString, [model, completion](Value json, NSErrorPtr error) {
        NSErrorPtr importError;
        MMModelPtr answer = model->initWithDictionary(std::move(json), &importError) ? model : nullptr;
        if (completion) {
            NSErrorPtr reported = error ? error : importError;
            dispatch_after(dispatch_time(DISPATCH_TIME_NOW, static_cast<int64_t>(NSEC_PER_MSEC)),
                           dispatch_get_main_queue(), [completion, answer, reported] { completion(answer, reported); });
        }
        setIsLoading(false);
    });
}

void MMModelNetworking::getModelFromURLWithString(ObjCClass& cls, const std::string& urlString,
                                                  Completion completion) {
    MMHTTPClient::getJSONFromURLWithString(urlString, modelAnswer(cls, std::move(completion)));
}

void MMModelNetworking::postModel(const MMModel& model, ObjCClass& cls, const std::string& urlString,
                                  Completion completion) {
    MMHTTPClient::postJSONFromURLWithBodyString(urlString, model.toJSONString().value_or(""),
                                                modelAnswer(cls, std::move(completion)));
}
