#include "stand_in_run.h"

#include <sstream>

namespace vantrel::testing {

namespace fs = std::filesystem;

Recorded read_recorded(const std::string& path) {
    std::string bytes = ReadFile(path);
    Recorded r;
    auto end = bytes.find("\npcm\n");
    EXPECT_NE(end, std::string::npos) << path;
    if (end == std::string::npos)
        return r;
    r.pcm = bytes.substr(end + 5);
    std::istringstream lines(bytes.substr(0, end));
    std::string line;
    while (std::getline(lines, line)) {
        auto space = line.find(' ');
        std::string key = line.substr(0, space);
        std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (key == "meta")
            r.meta.push_back(rest);
        else if (key == "info")
            r.info.push_back(rest);
        else
            r.fields[key] = rest;
    }
    return r;
}

std::string wav_samples(const std::string& path) {
    CommandResult r =
        RunCommand("ffmpeg -nostdin -loglevel error -i " + ShellQuote(path) + " -f s16le -");
    EXPECT_EQ(r.status, 0) << r.err;
    return r.out;
}

std::vector<std::string> hidden_files(const fs::path& folder) {
    std::vector<std::string> found;
    for (auto& entry : fs::directory_iterator(folder))
        if (entry.path().filename().string().front() == '.')
            found.push_back(entry.path().string());
    return found;
}

std::vector<std::string> StandInRun::env(const std::string& fail) const {
    std::vector<std::string> e{"XDG_CONFIG_HOME=" + dir_.File("config")};
    if (!fail.empty())
        e.push_back("VANTREL_STAND_IN_FAIL=" + fail);
    return e;
}

CommandResult StandInRun::vantrel(std::vector<std::string> arguments,
                                  const std::string& fail) const {
    arguments.insert(arguments.begin() + 1, {"--components", STAND_IN_COMPONENTS});
    return run_vantrel(arguments, env(fail));
}

std::string StandInRun::command_line(const std::vector<std::string>& arguments) const {
    std::string line =
        "XDG_CONFIG_HOME=" + ShellQuote(dir_.File("config")) + " " + ShellQuote(vantrel_program());
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        line += " " + ShellQuote(arguments[i]);
        if (i == 0)
            line += " --components " + ShellQuote(STAND_IN_COMPONENTS);
    }
    return line;
}

CommandResult StandInRun::vantrel_in(const std::string& folder,
                                     std::vector<std::string> arguments) const {
    return RunCommand("cd " + ShellQuote(folder) + " && " + command_line(arguments));
}

} // namespace vantrel::testing
