#pragma once
// The CIE/FDE parser: common information entries and frame description entries of DWARF call-frame
// information (.eh_frame), parsed in place.
//
// Every read is bounded by the record's own length and by the end the caller gives, and goes through
// the unwind memory, so a damaged table gives false (with a log line where the reader names one),
// never a fault. Records live on the caller's stack; signal-safe, no allocation.
#include "sdk/zevuzavidav/unwind/UnwindMemory.hpp"

#include <cstdint>

struct ZEVDwarfCIERecord {
    std::uint64_t length;
    std::uint64_t version;
    std::uintptr_t augmentation; // the zero-terminated string, in place
    std::uint8_t fdePointerEncoding;
    std::uint8_t lsdaEncoding;
    std::uint8_t personalityEncoding;
    std::uint64_t personality;
    std::uint64_t codeAlignment;
    std::int64_t dataAlignment;
    std::uint64_t returnAddressRegister;
    bool signalFrame;
    bool augmentationData; // the augmentation begins with 'z': FDEs carry augmentation data too
    std::uint64_t instructionsLength;
    std::uintptr_t instructions;
};

struct ZEVDwarfFDERecord {
    std::uint64_t length;
    std::uint64_t ciePointer;
    std::uint64_t pcBegin;
    std::uint64_t pcRange;
    std::uint64_t instructionsLength;
    std::uintptr_t instructions;
};

struct ZEVDwarfCFIRecord {
    ZEVDwarfCIERecord cie;
    ZEVDwarfFDERecord fde;
};

// Parses the CIE at `address`; `end` bounds every read. Without `resolvePersonality`, an indirect
// personality is left as the address of its pointer, which is not read (a step has no use for it).
bool ZEVDwarfParseCIERecord(ZEVDwarfCIERecord* cie, std::uintptr_t address, std::uintptr_t end,
                            zevuzavidav::UnwindMemory* memory = nullptr, bool resolvePersonality = true);
// Parses the FDE at `address` and its CIE; `end` bounds every read, and `start`, when known, is where
// the section begins: an FDE whose CIE pointer leads before it is refused.
bool ZEVDwarfParseFDERecord(ZEVDwarfFDERecord* fde, ZEVDwarfCIERecord* cie, std::uintptr_t address,
                            std::uintptr_t end, zevuzavidav::UnwindMemory* memory = nullptr,
                            std::uintptr_t start = 0);
namespace zevuzavidav {
// ZEVDwarfParseFDERecord in its steps, for a walk that parses each CIE once rather than once per FDE.
// The head of an FDE (its length and CIE pointer, checked as ZEVDwarfParseFDERecord checks them) tells
// where its CIE is; the rest of the FDE is read in the encoding that CIE gives. Between them they set
// every field of the record; after a failure some may be left as they were.
struct DwarfFDEHead {
    std::uintptr_t cie;       // the CIE's address
    std::uintptr_t body;      // where the FDE's pc begin lies
    std::uintptr_t recordEnd; // the end of the FDE
    bool inPlace;             // the FDE is read in place
};
// `inPlace`: the caller knows [address, end) is read in place.
bool readDwarfFDEHead(ZEVDwarfFDERecord* fde, std::uintptr_t address, std::uintptr_t end,
                      UnwindMemory* memory, std::uintptr_t start, DwarfFDEHead* head, bool inPlace = false);
bool readDwarfFDEBody(ZEVDwarfFDERecord* fde, const ZEVDwarfCIERecord& cie, const DwarfFDEHead& head,
                      UnwindMemory* memory);
// A CIE of the form nearly every one takes (a 32-bit length, id 0, augmentation "zR" or "zPLR", one-byte
// alignments and return register, short augmentation data, a 4-byte personality) read in one pass
// from its bytes, which the caller knows are read in place up to `end`: it gives what ZEVDwarfParseCIERecord
// gives without resolving the personality. False for any other record, or one that reader would refuse: it is
// left to that reader.
bool readCommonDwarfCIE(ZEVDwarfCIERecord* cie, std::uintptr_t address, std::uintptr_t end);
// Whether an FDE may use a CIE that ZEVDwarfParseCIERecord gave `parsed` for (with the reader's lines).
bool usableDwarfCIE(const ZEVDwarfCIERecord& cie, bool parsed);
} // namespace zevuzavidav

// Parses the FDE at `ehFrame` + `fdeOffset` with its CIE, reading nothing outside [ehFrame, ehFrameEnd).
// False when the address, the offset or their sum is 0, or the offset is not within the section.
bool ZEVDwarfInitFromFDE(ZEVDwarfCFIRecord* cfi, std::uintptr_t ehFrame, std::uint64_t fdeOffset,
                         std::uintptr_t ehFrameEnd, zevuzavidav::UnwindMemory* memory = nullptr);
