#include "sim/unit_model.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qv::sim {

UnitConfig defaultConfig() {
    UnitConfig cfg;
    cfg.table = {{"-40", ".9876"}, {"-20", ".9934"}, {"0", "1"}, {"10", "1.0061"}, {"20", "1.0123"}};
    return cfg;
}

std::vector<TableLine> loadTableFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read table file " + path);
    std::vector<TableLine> table;
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty() && line[0] == '*') continue;
        std::istringstream fields(line);
        std::string temperature, ratio, extra;
        if (!(fields >> temperature)) continue;  // blank line
        if (!(fields >> ratio) || (fields >> extra))
            throw std::runtime_error(path + ": line " + std::to_string(number) + " is not \"temperature ratio\"");
        table.emplace_back(temperature, ratio);
    }
    return table;
}

UnitModel::UnitModel(UnitConfig cfg) : cfg_(std::move(cfg)) {}

namespace {

bool isIndexed(const std::string& mnemonic) { return mnemonic == "JT" || mnemonic == "JR"; }

}  // namespace

std::optional<std::string> UnitModel::valueOf(const std::string& mn, int index) const {
    if (mn == "VR") return std::string(1, cfg_.kind) + cfg_.version;
    if (mn == "JH") return cfg_.jh;
    if (mn == "JP") return cfg_.jp;
    if (mn == "JC") return cfg_.jc;
    if (mn == "PB") return cfg_.pb;
    auto count = static_cast<int>(cfg_.table.size());
    if (mn == "JT") return index <= count ? cfg_.table[index - 1].first : std::string("9999");
    if (mn == "JR") return index <= count ? cfg_.table[index - 1].second : std::string("0");
    return std::nullopt;
}

bool UnitModel::store(const std::string& mn, int index, const std::string& value) {
    auto count = static_cast<int>(cfg_.table.size());
    if (mn == "JH") cfg_.jh = value;
    else if (mn == "JP") cfg_.jp = value;
    else if (mn == "JC") cfg_.jc = value;
    else if (mn == "PB") cfg_.pb = value;
    else if (mn == "JT") {
        if (index <= count) cfg_.table[index - 1].first = value;
        else if (index == count + 1) cfg_.table.emplace_back(value, "0");
        else return false;
    } else if (mn == "JR") {
        if (index > count) return false;
        cfg_.table[index - 1].second = value;
    } else {
        return false;
    }
    return true;
}

std::optional<std::string> UnitModel::handle(const std::string& lineIn) {
    std::string line = lineIn;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    received_.push_back(line);
    lastMnemonic_.clear();

    const std::string head = "*" + cfg_.id + "00";
    auto startsWithHead = [&](const std::string& s) { return s.compare(0, head.size(), head) == 0; };
    if (!startsWithHead(line) || line.size() < head.size() + 2) return std::nullopt;
    const Faults& f = cfg_.faults;
    if (f.silent || (f.silentAfter >= 0 && answered_ >= f.silentAfter)) return std::nullopt;

    std::string mn = line.substr(head.size(), 2);
    std::string rest = line.substr(head.size() + 2);
    std::string enable;
    if (mn == "EW" || mn == "EZ") {
        enable = mn;
        if (!startsWithHead(rest) || rest.size() < head.size() + 2) return std::nullopt;
        mn = rest.substr(head.size(), 2);
        rest = rest.substr(head.size() + 2);
    }
    lastMnemonic_ = mn;
    int index = 0;
    std::string indexText;
    if (isIndexed(mn)) {
        // Three digits address lines 1 to 999; line 1000, the one after a
        // full table, is asked with four.
        size_t digits = 0;
        while (digits < rest.size() && std::isdigit(static_cast<unsigned char>(rest[digits]))) ++digits;
        if (digits < 3 || digits > 4) return std::nullopt;
        indexText = rest.substr(0, digits);
        index = std::stoi(indexText);
        if (index == 0) return std::nullopt;
        rest = rest.substr(digits);
    }
    bool isWrite = !rest.empty();
    if (isWrite && rest[0] != '=') return std::nullopt;
    if (!valueOf(mn, index)) return std::nullopt;  // unknown mnemonic

    if (isWrite && mn != "VR") {
        const std::string needed = mn == "PB" ? "EZ" : "EW";
        if (enable == needed) store(mn, index, rest.substr(1));
    }
    std::string value = *valueOf(mn, index);
    if (isWrite && !f.echoOverride.empty()) value = f.echoOverride;
    if (f.garble)
        for (char& c : value) c = static_cast<char>(c ^ 0x10);

    ++answered_;
    if (f.shortReply) return "*00" + cfg_.id + "\r\n";
    std::string from = f.answerAsId.empty() ? std::string("00") : f.answerAsId;
    return "*" + from + cfg_.id + mn + indexText + "=" + value + "\r\n";
}

}  // namespace qv::sim
