// compression_method.cpp: method names, compression words and compressors.
#include "compression_method.h"

#include <cstdlib>

#include "cabdecode.h"
#include "mszip_compressor.h"
#include "quantum_encoder.h"
#include "stored_compressor.h"

namespace {

const int quantumMinWindowBits = 10;
const int quantumMaxWindowBits = 21;

}  // namespace

uint16_t CabCompressionWord(const CabMethod& method) {
    switch (method.kind) {
        case CabMethodKind::Stored:
            return CompressionNone;
        case CabMethodKind::Mszip:
            return CompressionMszip;
        case CabMethodKind::Quantum:
            return CabQuantumWord(method.quantumWindowBits);
    }
    return CompressionUnset;
}

bool ParseCabMethod(const std::string& text, CabMethod* method, std::string* error) {
    CabMethod parsed;
    if (text == "none" || text == "stored") {
        parsed.kind = CabMethodKind::Stored;
    } else if (text == "mszip") {
        parsed.kind = CabMethodKind::Mszip;
    } else if (text == "quantum" || text.rfind("quantum:", 0) == 0) {
        parsed.kind = CabMethodKind::Quantum;
        if (text.size() > 7) {
            const std::string bits = text.substr(8);
            char* end = nullptr;
            const long value = std::strtol(bits.c_str(), &end, 10);
            if (bits.empty() || *end != '\0' || value < quantumMinWindowBits || value > quantumMaxWindowBits) {
                *error = "the Quantum window must be 10 to 21 bits, not \"" + bits + "\"";
                return false;
            }
            parsed.quantumWindowBits = static_cast<int>(value);
        }
    } else {
        *error = "unknown compression method \"" + text + "\" (use none, mszip or quantum[:BITS])";
        return false;
    }
    *method = parsed;
    return true;
}

std::string CabMethodName(const CabMethod& method) {
    switch (method.kind) {
        case CabMethodKind::Stored:
            return "none";
        case CabMethodKind::Mszip:
            return "mszip";
        case CabMethodKind::Quantum:
            return "quantum:" + std::to_string(method.quantumWindowBits);
    }
    return "unknown";
}

std::unique_ptr<CabBlockCompressor> CreateBlockCompressor(const CabMethod& method, std::string* error) {
    switch (method.kind) {
        case CabMethodKind::Stored:
            return std::make_unique<StoredCompressor>();
        case CabMethodKind::Mszip: {
            auto compressor = std::make_unique<MszipCompressor>(method.mszipLevel);
            if (!compressor->Ready()) {
                *error = "zlib could not set up a Deflate stream at level " + std::to_string(method.mszipLevel);
                return nullptr;
            }
            return compressor;
        }
        case CabMethodKind::Quantum:
            if (method.quantumWindowBits < quantumMinWindowBits || method.quantumWindowBits > quantumMaxWindowBits) {
                *error = "the Quantum window must be 10 to 21 bits, not " + std::to_string(method.quantumWindowBits);
                return nullptr;
            }
            return std::make_unique<QuantumCompressor>(static_cast<uint32_t>(method.quantumWindowBits));
    }
    *error = "unknown compression method";
    return nullptr;
}
