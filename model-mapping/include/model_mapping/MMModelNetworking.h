#pragma once
// Model loading over HTTP: fetch a model's JSON from a URL, or post a model and read the answer
// as a model, through MMHTTPClient. Completions run on the main queue.

#include <functional>
#include <memory>
#include <string>

#include <model_mapping/MMHTTPClient.h>
#include <model_mapping/MMModel.h>
#include <platform_dispatch/DispatchQueue.h>
#include <platform_dispatch/DispatchTime.h>

class MMModelNetworking {
public:
    // (model or nullptr, error or nullptr)
    using Completion = std::function<void(MMModelPtr, NSErrorPtr)>;

    // One process-wide loading flag shared by every model (no lock).
    static bool isLoading();
    static void setIsLoading(bool loading);

    // Answers an unfilled model of class T at once and fills it when the JSON arrives. The flag
    // is YES until the answer arrives; the completion (if any) then runs on the main queue with
    // the filled model, or nullptr and the client's (else the import's) error.
    template <class T>
    static std::shared_ptr<T> initFromURLWithString(const std::string& urlString, Completion completion) {
        auto model = std::make_shared<T>();
        startFilling(model, urlString, std::move(completion));
        return model;
    }

    // A new model of cls from the JSON at the URL; no model when the client reports an error.
    static void getModelFromURLWithString(ObjCClass& cls, const std::string& urlString, Completion completion);
    // Posts model's JSON text and reads the answer as a model of cls.
    static void postModel(const MMModel& model, ObjCClass& cls, const std::string& urlString, Completion completion);

private:
    static void startFilling(MMModelPtr model, const std::string& urlString, Completion completion);
};
