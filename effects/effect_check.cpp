// Build-time check of one effect file: parses it as the port does, compiles every stage and
// links every pass with glslang's validator, and only then copies the file to its place in
// the data folder, so that a broken effect fails the build.
//
//   effect_check <glslangValidator> <source.fx> <output.fxo> <folder for the stage files>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include "d3dx9/effect_file.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using port::d3dx9::EffectDescription;
using port::d3dx9::StageKind;

// Runs the validator on the given stage files; its messages are shown only when it fails.
bool validate(const std::string& validator, const std::vector<std::string>& files,
              const fs::path& log) {
    std::vector<std::string> args{validator};
    if (files.size() > 1) {
        args.push_back("-l"); // link the stages into one program
    }
    args.insert(args.end(), files.begin(), files.end());
    std::vector<char*> argv;
    for (std::string& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int spawned =
        posix_spawn(&pid, validator.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        std::cerr << "cannot run " << validator << "\n";
        return false;
    }
    int status = 0;
    if (waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0) {
        return true;
    }
    std::cerr << std::ifstream(log).rdbuf();
    return false;
}

// Compiles each stage once, then links the stages of every pass.
bool checkStages(const EffectDescription& effect, const std::string& validator,
                 const fs::path& folder) {
    const fs::path log = folder / "glslang.log";
    std::vector<std::string> files;
    bool ok = true;
    for (const auto& stage : effect.stages) {
        const char* extension = stage.kind == StageKind::Vertex ? ".vert" : ".frag";
        files.push_back((folder / (stage.name + extension)).string());
        std::ofstream(files.back(), std::ios::binary) << stage.source;
        if (!validate(validator, {files.back()}, log)) {
            std::cerr << "stage '" << stage.name << "' does not compile\n";
            ok = false;
        }
    }
    for (const auto& technique : effect.techniques) {
        for (std::size_t i = 0; ok && i < technique.passes.size(); ++i) {
            const auto& pass = technique.passes[i];
            if (!validate(validator, {files[pass.vertexStage], files[pass.fragmentStage]}, log)) {
                std::cerr << "technique '" << technique.name << "' pass " << i
                          << ": the stages do not link\n";
                ok = false;
            }
        }
    }
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::cerr << "usage: effect_check <glslangValidator> <source.fx> <output.fxo> <folder>\n";
        return 2;
    }
    const std::string validator = argv[1];
    const fs::path source = argv[2];
    const fs::path output = argv[3];
    const fs::path folder = argv[4];

    std::ifstream in(source, std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (!in) {
        std::cerr << source.string() << ": cannot read\n";
        return 1;
    }
    const auto parse = port::d3dx9::parseEffectFile(bytes.data(), bytes.size());
    if (!parse.ok()) {
        std::cerr << source.string() << ": " << parse.error << "\n";
        return 1;
    }
    fs::create_directories(folder);
    if (!checkStages(parse.effect, validator, folder)) {
        std::cerr << source.string() << ": GLSL errors (lines above are lines of this file)\n";
        return 1;
    }
    fs::create_directories(output.parent_path());
    std::ofstream out(output, std::ios::binary);
    out << bytes;
    out.close();
    if (!out) {
        std::cerr << output.string() << ": cannot write\n";
        return 1;
    }
    return 0;
}
