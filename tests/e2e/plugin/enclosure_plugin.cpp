// nbdkit plugin: serves one stand-in enclosure of a scenario as an NBD disk,
// so that a guest kernel's USB mass-storage stack carries the command channel.
//
//   nbdkit -U SOCKET ./raidsim-plugin.so scenario=FILE [disk=N] [readlog=FILE]
//          [size=64M] [fault=none|cached-reply|dropped-read] [drop-lba=0x210]
//          [flashdump=FILE]
#define NBDKIT_API_VERSION 2
#include <nbdkit-plugin.h>

#include <cerrno>
#include <cstdint>
#include <memory>
#include <string>

#include "tests/e2e/plugin/enclosure_backend.h"

#define THREAD_MODEL NBDKIT_THREAD_MODEL_SERIALIZE_ALL_REQUESTS

namespace {

using raid::e2e::BackendOptions;
using raid::e2e::EnclosureBackend;

// nbdkit hands configuration and requests to free functions without a user
// pointer, so the plugin's one state object has to live at namespace scope.
// nbdkit calls config/config_complete on one thread before any request, and
// the thread model serialises every request after that.
struct PluginState {
    BackendOptions options;
    std::unique_ptr<EnclosureBackend> backend;
};
PluginState state;

int ParseNumber(const char* key, const char* value, std::uint32_t max, std::uint32_t& out) {
    std::uint32_t parsed = 0;
    if (nbdkit_parse_uint32_t(key, value, &parsed) == -1) {
        return -1;
    }
    if (parsed > max) {
        nbdkit_error("%s: %s is larger than %u", key, value, max);
        return -1;
    }
    out = parsed;
    return 0;
}

int Config(const char* key, const char* value) {
    const std::string k = key;
    if (k == "scenario") {
        state.options.scenarioFile = value;
    } else if (k == "readlog") {
        state.options.readLog = value;
    } else if (k == "disk") {
        std::uint32_t disk = 0;
        if (ParseNumber(key, value, 9, disk) == -1) {
            return -1;
        }
        state.options.disk = static_cast<std::uint8_t>(disk);
    } else if (k == "size") {
        const std::int64_t size = nbdkit_parse_size(value);
        if (size == -1) {
            return -1;
        }
        state.options.sizeBytes = static_cast<std::uint64_t>(size);
    } else if (k == "fault") {
        const auto fault = raid::e2e::ParseFault(value);
        if (!fault) {
            nbdkit_error("fault: unknown value '%s' (none, cached-reply, dropped-read)", value);
            return -1;
        }
        state.options.fault = *fault;
    } else if (k == "flashdump") {
        state.options.flashDump = value;
    } else if (k == "drop-lba") {
        if (ParseNumber(key, value, UINT32_MAX, state.options.dropLba) == -1) {
            return -1;
        }
    } else {
        nbdkit_error("unknown parameter '%s'", key);
        return -1;
    }
    return 0;
}

int ConfigComplete() {
    if (state.options.scenarioFile.empty()) {
        nbdkit_error("the scenario parameter is required");
        return -1;
    }
    std::string error;
    state.backend = EnclosureBackend::Open(state.options, error);
    if (!state.backend) {
        nbdkit_error("%s", error.c_str());
        return -1;
    }
    return 0;
}

void Unload() {
    state.backend.reset();
}

void* OpenConnection(int /*readonly*/) {
    return state.backend.get();
}

std::int64_t GetSize(void* handle) {
    return static_cast<std::int64_t>(static_cast<EnclosureBackend*>(handle)->SizeBytes());
}

int Pread(void* handle, void* buf, std::uint32_t count, std::uint64_t offset,
          std::uint32_t /*flags*/) {
    std::string error;
    const int rc = static_cast<EnclosureBackend*>(handle)->Read(
        {static_cast<std::uint8_t*>(buf), count}, offset, error);
    if (rc != 0) {
        nbdkit_error("%s", error.c_str());
        nbdkit_set_error(rc);
        return -1;
    }
    return 0;
}

int No(void* /*handle*/) {
    return 0;
}

// A cache would let a client skip reads; the channel needs every one.
int CacheNone(void* /*handle*/) {
    return NBDKIT_CACHE_NONE;
}

// Clients must ask for whole sectors: a partial one has no meaning here.
int BlockSize(void* /*handle*/, std::uint32_t* minimum, std::uint32_t* preferred,
              std::uint32_t* maximum) {
    *minimum = 512;
    *preferred = 512;
    *maximum = 1024 * 1024;
    return 0;
}

nbdkit_plugin MakePlugin() {
    nbdkit_plugin p{};
    p.name = "raidsim";
    p.longname = "stand-in RAID enclosure";
    p.version = "1";
    p.description = "Serves one stand-in enclosure of a scenario as a read-only disk";
    p.config = Config;
    p.config_complete = ConfigComplete;
    p.config_help =
        "scenario=FILE          (required) scenario JSON file\n"
        "disk=N                 enclosure of the scenario (default: the first)\n"
        "readlog=FILE           append the LBA of every read the enclosure received\n"
        "size=SIZE              disk size (default 64M)\n"
        "fault=FAULT            none, cached-reply or dropped-read\n"
        "drop-lba=LBA           the read dropped by fault=dropped-read (default 0x210)\n"
        "flashdump=FILE         write the enclosure's SPI flash to FILE at the end";
    p.unload = Unload;
    p.open = OpenConnection;
    p.get_size = GetSize;
    p.pread = Pread;
    p.can_write = No;
    p.can_multi_conn = No;
    p.can_extents = No;
    p.can_cache = CacheNone;
    p.block_size = BlockSize;
    return p;
}

nbdkit_plugin plugin = MakePlugin();

}  // namespace

NBDKIT_REGISTER_PLUGIN(plugin)
