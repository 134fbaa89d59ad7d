#pragma once

#include <gtest/gtest.h>

#include <string>

namespace tarnleaf {

// Names a parameterised case after its `name` member, so failures read as behaviour.
struct CaseName {
    template <typename T>
    std::string operator()(const ::testing::TestParamInfo<T>& param) const {
        return std::string(param.param.name);
    }
};

}  // namespace tarnleaf
