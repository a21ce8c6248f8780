// Script values and the JSON values that carry them between processes and threads, plus the
// readers of option objects that module methods take from script.
//
// Script to JSON, per value, the first test that matches decides: boolean; a number that is a
// 32-bit integer (int); any other number (double); null; string or Date (its string); array (list);
// any other object, functions included (dictionary of its enumerable keys); undefined (nothing:
// a hole in a list, a missing key in a dictionary). JSON to script: null, boolean, number, string,
// object, array as such; binary as null. Nesting deeper than kMaxDepth converts to null, so a
// cyclic object cannot exhaust the stack.
//
// Runs on the script thread only, like everything that touches a JSCContext.
#pragma once

#include "platform/GRef.h"

#include <jsc/jsc.h>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace tvn {

using ScriptValue = GRef<JSCValue>;

inline constexpr int kMaxDepth = 64;

// A list from arguments or from a script array; holes (undefined) become null.
nlohmann::json ToListValue(const std::vector<ScriptValue>& values);
nlohmann::json ToListValue(JSCValue* array);
// A dictionary from a script object's enumerable properties; undefined members are left out.
nlohmann::json ToDictionaryValue(JSCValue* object);

// Plain script values from JSON.
ScriptValue toScriptObject(JSCContext*, const nlohmann::json& dictionary);
ScriptValue toScriptArray(JSCContext*, const nlohmann::json& list);
ScriptValue toScriptValue(JSCContext*, const nlohmann::json&);

// Option readers: the value of `object[key]` when it has the right type, else nullopt.
// GetIntOption takes an integer, a double (truncated) or a string (read as atoi reads it).
std::optional<int> GetIntOption(JSCValue* object, const char* key);
std::optional<bool> GetBoolOption(JSCValue* object, const char* key);
std::optional<std::string> GetStringOption(JSCValue* object, const char* key);
// The string option, or `fallback` when it is missing or not a string.
std::string GetStringOption(JSCValue* object, const char* key, std::string fallback);
// The value of `object[key]` whatever its type; empty when the object has no such property.
ScriptValue GetOption(JSCValue* object, const char* key);
// The function under `key`; empty when it is missing or not a function.
ScriptValue GetFunctionOption(JSCValue* object, const char* key);

// A plain object with one property per entry, in the order given.
ScriptValue MakeObject(JSCContext*, const std::vector<std::pair<std::string, ScriptValue>>& properties);

// The value's text as UTF-8 (what String(value) gives).
std::string scriptString(JSCValue*);

} // namespace tvn
