#include "AmodCommands.h"

#include "ImageJson.h"
#include "image/ModeFile.h"
#include "image/ParamImage.h"
#include "image/Text.h"

#include <array>
#include <cstring>
#include <filesystem>
#include <ostream>

namespace kv::cli {

namespace {

/// Loads the file over a default image; prints the reason and returns false on failure.
bool Load(const std::string& path, ParamImage& image, int& version, Io& io,
          TruncatedFile truncated = TruncatedFile::Warn) {
    image.InitDefaults();
    return ReadModeFileFor(path, image, truncated, io, &version);
}

bool Save(const std::string& path, const ParamImage& image, Io& io) {
    const ModeFileResult r = WriteModeFile(path, image);
    if (!r.ok()) {
        BadInput(io, path + ": " + std::strerror(r.errorCode));
        return false;
    }
    return true;
}

int Show(Args args, Io& io) {
    if (args.size() != 1) {
        return BadInput(io, "usage: kvctl amod show FILE");
    }
    ParamImage image;
    int version = 0;
    if (!Load(args[0], image, version, io)) {
        return kExitBadInput;
    }
    nlohmann::ordered_json json;
    json["file"] = EscapeInvalidUtf8(args[0]); // names need not be UTF-8
    json["version"] = version;
    json.update(ImageToJson(image));
    io.out << json.dump(2) << "\n";
    return kExitOk;
}

int New(Args args, Io& io) {
    const auto files = Positional(args);
    if (files.size() != 1) {
        return BadInput(io, "usage: kvctl amod new FILE [--force]");
    }
    std::error_code ec;
    if (!HasOption("--force") && std::filesystem::symlink_status(files[0], ec).type() !=
                                     std::filesystem::file_type::not_found) {
        return BadInput(io, files[0] + " exists (--force overwrites it)");
    }
    ParamImage image;
    image.InitDefaults();
    if (!Save(files[0], image, io)) {
        return kExitBadInput;
    }
    io.out << "wrote " << files[0] << " (version " << kModeFileVersion << ", " << kModeFileSize
           << " bytes)\n";
    return kExitOk;
}

int Convert(Args args, Io& io) {
    const auto files = Positional(args);
    if (files.size() != 2) {
        return BadInput(io, "usage: kvctl amod convert IN OUT [--force]");
    }
    const TruncatedFile truncated =
        HasOption("--force") ? TruncatedFile::Warn : TruncatedFile::RefuseConversion;
    ParamImage image;
    int version = 0;
    if (!Load(files[0], image, version, io, truncated) || !Save(files[1], image, io)) {
        return kExitBadInput;
    }
    io.out << "converted " << files[0] << " (version " << version << ") to " << files[1]
           << " (version " << kModeFileVersion << ")\n";
    return kExitOk;
}

constexpr std::array kCommands = {
    Command{"amod", "show", "amod show FILE            print a mode file's image as JSON", Show,
            "Reads FILE (mode file versions 1..8 and 29) without touching a processor and prints\n"
            "its version and every field, band record, trim and the room geometry as JSON.\n"},
    Command{"amod", "new", "amod new FILE [--force]   write the default image as a mode file", New,
            "Writes the image the application starts with as a version 29 mode file.\n"
            "options:\n"
            "  --force                   overwrite FILE when it exists\n",
            "--force"},
    Command{"amod", "convert",
            "amod convert IN OUT [--force]  rewrite any accepted version as version 29", Convert,
            "Reads IN (versions 1..8 and 29) and writes OUT as version 29; the parts an old\n"
            "version does not hold keep the defaults. An IN that ends early is refused, since\n"
            "OUT would hold defaults for what it lacked without saying so.\n"
            "options:\n"
            "  --force                   convert a file that ends early anyway (with a warning)\n",
            "--force"},
};

} // namespace

std::span<const Command> AmodCommands() {
    return kCommands;
}

} // namespace kv::cli
