#include "sdk/zevuzavidav/context/ZEVHost.hpp"

#include "platform/darwin/Host.hpp"
#include "sdk/zevuzavidav/base/ZEVAllocator.hpp"
#include "sdk/zevuzavidav/base/ZEVUtilities.hpp"
#include "sdk/zevuzavidav/context/PlatformFacts.hpp"
#include "sdk/zevuzavidav/context/ZEVContext.hpp"
#include "sdk/zevuzavidav/record/ZEVFile.hpp"

void ZEVHostInitialize() {
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    if (readOnly == nullptr) return;
    readOnly->host.documentsPath = nullptr;
    readOnly->host.pageSize = ZEVHostGetPageSize();
    std::string documents = zevuzavidav::currentPlatformFacts().documentsDirectory;
    if (!documents.empty())
        readOnly->host.documentsPath = ZEVDuplicateString(zevuzavidav::contextAllocator(), documents.c_str());
}

std::uint32_t zevuzavidav::osVersionNumberForMajor(int major) {
    return major >= 4 && major <= 9 ? static_cast<std::uint32_t>(major) * 10000U : 0U;
}

std::uint32_t ZEVHostGetOSVersionNumber() {
    return zevuzavidav::osVersionNumberForMajor(zevuzavidav::currentPlatformFacts().osMajorVersion);
}

bool ZEVHostRecordHostInfo(ZEVFile* file) {
    zevuzavidav::PlatformFacts facts = zevuzavidav::currentPlatformFacts();
    char machine[128];
    bool haveMachine = darwin::hostMachine(machine, sizeof machine);
    ZEVFileWriteSectionStart(file, "host");
    ZEVFileWriteObjectStart(file);
    ZEVFileWriteStringEntry(file, "model", facts.deviceModel.c_str());
    ZEVFileWriteStringEntry(file, "machine", haveMachine ? machine : "(failed)");
    ZEVFileWriteStringEntry(file, "os_build_version", facts.osBuildVersion.c_str());
    ZEVFileWriteStringEntry(file, "os_display_version", facts.osDisplayVersion.c_str());
    ZEVFileWriteStringEntry(file, "platform", "ios");
    ZEVFileWriteStringEntry(file, "locale", facts.localeIdentifier.c_str());
    ZEVFileWriteObjectEnd(file);
    ZEVFileWriteSectionEnd(file);
    return true;
}

void ZEVHostRecordStorage(ZEVFile* file) {
    ZEVReadOnlyContext* readOnly = zevuzavidav::sharedReadOnlyContext();
    ZEVFileWriteSectionStart(file, "storage");
    ZEVFileWriteObjectStart(file);
    std::uint64_t freeBytes = 0;
    std::uint64_t totalBytes = 0;
    if (readOnly != nullptr && darwin::volumeSpace(readOnly->host.documentsPath, freeBytes, totalBytes)) {
        ZEVFileWriteUInt64Entry(file, "free", freeBytes);
        ZEVFileWriteUInt64Entry(file, "total", totalBytes);
    }
    ZEVFileWriteObjectEnd(file);
    ZEVFileWriteSectionEnd(file);
}
