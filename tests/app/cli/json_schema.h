#pragma once
// Test helper: checks a JSON object against the members the README documents
// for it: every required member present with its type, nothing undocumented.

#include <gtest/gtest.h>

#include <map>
#include <string>

#include <nlohmann/json.hpp>

namespace cli_test {

enum class JsonType { kString, kInteger, kBoolean, kArray, kObject, kStringOrNull, kIntegerOrNull, kNullOrString };

struct Member {
    JsonType type;
    bool required = true;
};
using Schema = std::map<std::string, Member>;

inline bool HasType(const nlohmann::json& value, JsonType type) {
    switch (type) {
    case JsonType::kString: return value.is_string();
    case JsonType::kInteger: return value.is_number_integer();
    case JsonType::kBoolean: return value.is_boolean();
    case JsonType::kArray: return value.is_array();
    case JsonType::kObject: return value.is_object();
    case JsonType::kStringOrNull:
    case JsonType::kNullOrString: return value.is_string() || value.is_null();
    case JsonType::kIntegerOrNull: return value.is_number_integer() || value.is_null();
    }
    return false;
}

inline void ExpectSchema(const nlohmann::json& object, const Schema& schema) {
    ASSERT_TRUE(object.is_object()) << object.dump();
    for (const auto& [name, member] : schema) {
        if (!object.contains(name)) {
            EXPECT_FALSE(member.required) << "missing " << name << " in " << object.dump();
            continue;
        }
        EXPECT_TRUE(HasType(object.at(name), member.type)) << name << " in " << object.dump();
    }
    for (const auto& [name, value] : object.items()) {
        EXPECT_TRUE(schema.count(name) == 1) << "undocumented " << name << " in " << object.dump();
    }
}

// The documented event objects of --json, by "event".
inline Schema EventSchema(const std::string& event) {
    Schema schema = {{"event", {JsonType::kString}}, {"device", {JsonType::kString}}};
    if (event == "step" || event == "error") schema["text"] = {JsonType::kString};
    if (event == "progress") {
        schema["sent"] = {JsonType::kInteger};
        schema["total"] = {JsonType::kInteger};
        schema["percent"] = {JsonType::kInteger};
    }
    if (event == "question") {
        schema["text"] = {JsonType::kString};
        schema["caption"] = {JsonType::kString};
    }
    if (event == "answer") schema["answer"] = {JsonType::kString};
    if (event == "result") {
        schema["text"] = {JsonType::kString};
        schema["status"] = {JsonType::kInteger};
        schema["detail"] = {JsonType::kString, false};
        schema["stage"] = {JsonType::kString, false};
        schema["reason"] = {JsonType::kString, false};
    }
    return schema;
}

// The documented --report record, and its image entries.
inline const Schema kImageSchema = {{"file", {JsonType::kString}},
                                    {"size", {JsonType::kIntegerOrNull}},
                                    {"sha256", {JsonType::kStringOrNull}}};
inline const Schema kRecordSchema = {
    {"tool", {JsonType::kString}},          {"tool_version", {JsonType::kString}},
    {"device", {JsonType::kString}},        {"instrument", {JsonType::kString}},
    {"installed_version", {JsonType::kString}}, {"new_version", {JsonType::kString}},
    {"update_method", {JsonType::kInteger}}, {"kernel", {JsonType::kObject}},
    {"update", {JsonType::kObject}},        {"start", {JsonType::kString}},
    {"end", {JsonType::kString}},           {"steps", {JsonType::kArray}},
    {"final_text", {JsonType::kString}},    {"status", {JsonType::kInteger}},
    {"detail", {JsonType::kString, false}},
    {"stage", {JsonType::kString, false}},  {"reason", {JsonType::kString, false}},
};

inline void ExpectRecordSchema(const nlohmann::json& record) {
    ExpectSchema(record, kRecordSchema);
    if (record.contains("kernel")) ExpectSchema(record["kernel"], kImageSchema);
    if (record.contains("update")) ExpectSchema(record["update"], kImageSchema);
}

}  // namespace cli_test
