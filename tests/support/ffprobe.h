#pragma once
// What ffprobe reads in a recorded file: its container, length, and each stream's codec, size, start and
// frames read.

#include <cstdio>
#include <map>
#include <string>

namespace test_support {

// "streams.stream.0.codec_name" -> "wmv2", "format.duration" -> "3.0", ... from ffprobe's flat output.
inline std::map<std::string, std::string> Probe(const std::string& file) {
    std::map<std::string, std::string> fields;
    const std::string command =
        "ffprobe -v error -count_frames -show_entries "
        "format=format_name,duration:stream=codec_type,codec_name,width,height,start_time,nb_read_frames "
        "-of flat=s=. '" +
        file + "' 2>/dev/null";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return fields;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text(line);
        const size_t equals = text.find('=');
        if (equals == std::string::npos) continue;
        std::string value = text.substr(equals + 1);
        while (!value.empty() && (value.back() == '\n' || value.back() == '"')) value.pop_back();
        if (!value.empty() && value.front() == '"') value.erase(0, 1);
        fields[text.substr(0, equals)] = value;
    }
    ::pclose(pipe);
    return fields;
}

// The stream index ("streams.stream.N") of the first stream of this type, or "" when there is none.
inline std::string StreamOf(const std::map<std::string, std::string>& probe, const std::string& type) {
    for (int i = 0; i < 4; ++i) {
        const std::string key = "streams.stream." + std::to_string(i);
        auto it = probe.find(key + ".codec_type");
        if (it != probe.end() && it->second == type) return key;
    }
    return "";
}

}  // namespace test_support
