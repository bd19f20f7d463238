// Builds compiled formulas by hand, item by item, for tests of the executor and the values.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace fcl::test {

class FormulaBuilder {
public:
    explicit FormulaBuilder(std::uint8_t result_type) : bytes_{result_type, 0, 0, 0} {}

    FormulaBuilder& text(std::uint8_t type, const std::string& payload) {
        bytes_.push_back(type);
        bytes_.insert(bytes_.end(), payload.begin(), payload.end());
        bytes_.push_back(0);
        return *this;
    }
    FormulaBuilder& number(double value) {
        bytes_.push_back(2);
        std::uint8_t raw[8];
        std::memcpy(raw, &value, sizeof raw);
        bytes_.insert(bytes_.end(), raw, raw + 8);
        return *this;
    }
    FormulaBuilder& logical(bool value) {
        bytes_.push_back(4);
        bytes_.push_back(value ? 1 : 0);
        return *this;
    }
    FormulaBuilder& reference(std::uint8_t kind, const std::string& name) {
        text(kind, name);
        bytes_.push_back(0xFF);
        bytes_.push_back(0xFF);
        return *this;
    }
    FormulaBuilder& call(std::uint8_t index) {
        bytes_.push_back(128);
        bytes_.push_back(index);
        return *this;
    }
    // The finished block: terminator added and the length written into the header.
    std::vector<std::uint8_t> build() const {
        std::vector<std::uint8_t> out = bytes_;
        out.push_back(0);
        out[2] = static_cast<std::uint8_t>(out.size() & 0xFF);
        out[3] = static_cast<std::uint8_t>(out.size() >> 8);
        return out;
    }

private:
    std::vector<std::uint8_t> bytes_;
};

}  // namespace fcl::test
