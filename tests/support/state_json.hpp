// The states a run of quorbel-cli dumped, read back as JSON values to compare.
#pragma once

#include <gtest/gtest.h>

#include <istream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace quorbel::testing {

// Every state in a program's output, in order. Lines before the first state are other output
// (listen's frame lines, messages on standard error read with it) and so is anything after the
// last; a state that does not parse fails the test.
inline std::vector<nlohmann::json> DumpedStates(const std::string& output) {
    std::size_t start = output.starts_with('{') ? 0 : output.find("\n{");
    std::istringstream in(start == std::string::npos ? "" : output.substr(start));
    std::vector<nlohmann::json> states;
    while ((in >> std::ws).peek() == '{') {
        nlohmann::json state;
        try {
            in >> state;
        } catch (const nlohmann::json::parse_error& error) {
            ADD_FAILURE() << "a dumped state does not parse: " << error.what();
            break;
        }
        states.push_back(std::move(state));
    }
    return states;
}

// The one state of a run; an empty object, and a failure, when there is none or more.
inline nlohmann::json DumpedState(const std::string& output) {
    std::vector<nlohmann::json> states = DumpedStates(output);
    if (states.size() != 1) {
        ADD_FAILURE() << states.size() << " states dumped where one was expected:\n" << output;
        return nlohmann::json::object();
    }
    return std::move(states.front());
}

// A text value of a state, or "" when the key is missing or holds no text.
inline std::string StateText(const nlohmann::json& state, const char* key) {
    const auto it = state.find(key);
    return it != state.end() && it->is_string() ? it->get<std::string>() : std::string();
}

}  // namespace quorbel::testing
