#pragma once
// The error object of a JSON-RPC answer: code and message required, data optional.

#include <string>

#include <model_mapping/MMModel.h>

class MMAPIRPCErrorModel : public MMModel {
    NS_CLASS(MMAPIRPCErrorModel, MMModel)
    NS_PROPERTY(int32_t, code, setCode, "N")
    NS_PROPERTY(std::string, message, setMessage, "&,N")
    NS_PROPERTY(Value, data, setData, "&,N", Optional)
};
