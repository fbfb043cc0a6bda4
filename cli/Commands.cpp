#include "Commands.h"

#include "AmodCommands.h"
#include "BackupCommands.h"
#include "BiquadCommand.h"
#include "EqFileCommands.h"
#include "LiveCommands.h"
#include "LiveOptions.h"
#include "QueryCommands.h"
#include "ZwaveCommands.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <ostream>

#ifndef KV_VERSION
#define KV_VERSION "unknown"
#endif

namespace kv::cli {

namespace {

/// The command-specific options of the current command line.
std::map<std::string, std::string, std::less<>> g_commandOptions;
/// The command's declared options, for Positional.
std::string_view g_declaredOptions;

/// The synopsis part of a usage line (before the run of spaces that starts the summary).
std::string_view Synopsis(const Command& c) {
    const auto gap = c.usage.find("  ");
    return gap == std::string_view::npos ? c.usage : c.usage.substr(0, gap);
}

std::string_view Summary(const Command& c) {
    const auto gap = c.usage.find("  ");
    if (gap == std::string_view::npos) {
        return {};
    }
    const auto start = c.usage.find_first_not_of(' ', gap);
    return start == std::string_view::npos ? std::string_view{} : c.usage.substr(start);
}

std::string FullName(const Command& c) {
    return c.group.empty() ? std::string(c.name) : std::string(c.group) + " " + std::string(c.name);
}

/// True when the command declares the option; takesValue says whether it has a value.
bool Declares(std::string_view declared, std::string_view name, bool& takesValue) {
    std::size_t pos = 0;
    while (pos < declared.size()) {
        auto end = declared.find(' ', pos);
        if (end == std::string_view::npos) {
            end = declared.size();
        }
        std::string_view option = declared.substr(pos, end - pos);
        pos = end + 1;
        const bool value = option.ends_with('=');
        if (value) {
            option.remove_suffix(1);
        }
        if (option == name) {
            takesValue = value;
            return true;
        }
    }
    return false;
}

void PrintUsage(std::ostream& os, const std::vector<Command>& commands) {
    os << "usage: kvctl [OPTIONS] COMMAND [ARGS]\n\n"
          "Controls the audio processor from the command line: mode files, filter design,\n"
          "and the processor itself (on USB, a kvsim on the virtual bus, or --sim).\n"
          "`kvctl COMMAND --help` describes one command.\n\ncommands:\n";
    for (const auto& c : commands) {
        os << "  " << c.usage << "\n";
    }
    os << "\n" << GlobalOptionsUsage();
}

void PrintCommandHelp(std::ostream& os, const Command& c) {
    os << "usage: kvctl " << Synopsis(c) << "\n";
    if (const auto summary = Summary(c); !summary.empty()) {
        os << "\n" << summary << "\n";
    }
    if (!c.help.empty()) {
        os << "\n" << c.help;
        if (!c.help.ends_with('\n')) {
            os << "\n";
        }
    }
    os << "\n" << GlobalOptionsUsage();
}

/// True for an argument that is a negative number ("-5", "-.5"), which is a value.
bool IsNegativeNumber(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-' &&
           (std::isdigit(static_cast<unsigned char>(arg[1])) != 0 || arg[1] == '.');
}

bool IsOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-' && !IsNegativeNumber(arg);
}

/// Whether any command declares the option, and whether it takes a value there.
bool AnyDeclares(const std::vector<Command>& commands, std::string_view name, bool& takesValue) {
    return std::any_of(commands.begin(), commands.end(),
                       [&](const Command& c) { return Declares(c.options, name, takesValue); });
}

struct CommandLine {
    std::vector<std::string> words;  ///< everything that is not an option
    std::vector<OptionArg> options;  ///< every option, in order, with its value
    std::vector<std::string> errors; ///< options without their value
    bool help = false;
    bool version = false;
};

CommandLine Split(Args args, const std::vector<Command>& commands) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            line.words.insert(line.words.end(), args.begin() + static_cast<long>(i) + 1,
                              args.end());
            break;
        }
        if (!IsOption(arg)) {
            line.words.push_back(arg);
            continue;
        }
        if (arg == "-h" || arg == "--help") {
            line.help = true;
            continue;
        }
        if (arg == "--version") {
            line.version = true;
            continue;
        }
        std::string name = arg;
        std::optional<std::string> value;
        if (const auto eq = arg.find('='); eq != std::string::npos && arg.starts_with("--")) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        bool takesValue = false;
        if (IsGlobalOption(name, takesValue) || AnyDeclares(commands, name, takesValue)) {
            if (takesValue && !value) {
                if (i + 1 >= args.size()) {
                    line.errors.push_back(name + " needs a value");
                    continue;
                }
                value = args[++i];
            } else if (!takesValue && value) {
                line.errors.push_back(name + " takes no value");
                continue;
            }
        }
        line.options.emplace_back(name, value.value_or(""));
    }
    return line;
}

const Command* FindCommand(const std::vector<Command>& commands,
                           const std::vector<std::string>& words) {
    for (const auto& c : commands) {
        const bool grouped = !c.group.empty();
        if (grouped ? words.size() >= 2 && words[0] == c.group && words[1] == c.name
                    : !words.empty() && words[0] == c.name) {
            return &c;
        }
    }
    return nullptr;
}

int UnknownCommand(const std::vector<Command>& commands, const std::vector<std::string>& words,
                   Io& io) {
    std::string names;
    for (const auto& c : commands) {
        if (c.group == words[0]) {
            names += (names.empty() ? "" : ", ") + std::string(c.name);
        }
    }
    if (!names.empty()) {
        io.err << "kvctl: " << words[0] << " needs one of: " << names << "\n";
    } else {
        io.err << "kvctl: unknown command '" << words[0] << "'\n";
    }
    io.err << "Try 'kvctl --help'.\n";
    return kExitBadInput;
}

} // namespace

std::vector<Command> AllCommands() {
    std::vector<Command> all;
    // `eq import|export` come before the plain `eq`, which would take their words as its own.
    for (auto group : {QueryCommands(), EqFileCommands(), LiveCommands(), BackupCommands(),
                       AmodCommands(), BiquadCommands(), ZwaveCommands()}) {
        all.insert(all.end(), group.begin(), group.end());
    }
    return all;
}

bool HasOption(std::string_view name) {
    return g_commandOptions.contains(name);
}

std::optional<std::string> OptionValue(std::string_view name) {
    const auto it = g_commandOptions.find(name);
    return it == g_commandOptions.end() ? std::nullopt : std::optional(it->second);
}

std::vector<std::string> Positional(Args args) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < args.size(); ++i) {
        bool takesValue = false;
        if (IsOption(args[i]) && Declares(g_declaredOptions, args[i], takesValue)) {
            i += takesValue ? 1 : 0;
            continue;
        }
        out.push_back(args[i]);
    }
    return out;
}

void PrintFullReference(std::ostream& os) {
    const auto commands = AllCommands();
    PrintUsage(os, commands);
    for (const auto& c : commands) {
        os << "\n" << FullName(c) << "\n";
        os << "  usage: kvctl " << Synopsis(c) << "\n";
        if (const auto summary = Summary(c); !summary.empty()) {
            os << "  " << summary << "\n";
        }
        std::string_view help = c.help;
        while (!help.empty()) {
            const auto nl = help.find('\n');
            os << "  " << help.substr(0, nl) << "\n";
            help = nl == std::string_view::npos ? std::string_view{} : help.substr(nl + 1);
        }
    }
}

int Dispatch(Args args, Io& io) {
    const auto commands = AllCommands();
    g_commandOptions.clear();
    g_declaredOptions = {};
    CommandLine line = Split(args, commands);
    if (line.version) {
        io.out << "kvctl " << KV_VERSION << "\n";
        return kExitOk;
    }
    if (!line.words.empty() && line.words[0] == "help") {
        line.words.erase(line.words.begin());
        if (!line.words.empty() && line.words[0] == "all") {
            PrintFullReference(io.out);
            return kExitOk;
        }
        line.help = true;
    }
    if (line.words.empty()) {
        PrintUsage(line.help ? io.out : io.err, commands);
        return line.help ? kExitOk : kExitBadInput;
    }
    const Command* command = FindCommand(commands, line.words);
    if (command == nullptr) {
        return UnknownCommand(commands, line.words, io);
    }
    if (line.help) {
        PrintCommandHelp(io.out, *command);
        return kExitOk;
    }
    const std::string name = FullName(*command);
    if (!line.errors.empty()) {
        return BadInput(io, name + ": " + line.errors.front());
    }
    std::vector<OptionArg> globals;
    std::vector<std::string> passed; // the command's own options first, then its words
    for (const auto& [option, value] : line.options) {
        bool takesValue = false;
        if (IsGlobalOption(option, takesValue)) {
            globals.emplace_back(option, value);
        } else if (Declares(command->options, option, takesValue)) {
            g_commandOptions[option] = value;
            passed.push_back(option);
            if (takesValue) {
                passed.push_back(value);
            }
        } else {
            io.err << "kvctl " << name << ": unknown option '" << option << "'\n";
            io.err << "Try 'kvctl " << name << " --help'.\n";
            return kExitBadInput;
        }
    }
    if (const auto bad = SetGlobalOptions(globals, io)) {
        return *bad;
    }
    g_declaredOptions = command->options;
    const std::size_t skip = command->group.empty() ? 1 : 2;
    passed.insert(passed.end(), line.words.begin() + static_cast<long>(skip), line.words.end());
    return command->run(passed, io);
}

} // namespace kv::cli
