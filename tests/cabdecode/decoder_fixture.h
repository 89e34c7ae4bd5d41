// decoder_fixture.h: one decoder over a MemoryIo per test, checked at the end
// for leaked blocks, handles left open and misuse of the callbacks.
#pragma once

#include <gtest/gtest.h>

#include "cab_builder.h"
#include "cabdecode.h"
#include "memory_io.h"
#include "notice_recorder.h"

class DecoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        decoder = io.CreateDecoder(&error);
        ASSERT_NE(decoder, nullptr);
    }
    void TearDown() override {
        if (decoder) {
            EXPECT_EQ(CabDecoderDestroy(decoder), 1);
        }
        decoder = nullptr;
        EXPECT_EQ(io.LiveBlocks(), 0u) << "blocks leaked";
        EXPECT_EQ(io.OpenHandles(), 0u) << "handles left open";
        EXPECT_TRUE(io.Misuse().empty()) << io.Misuse().front();
    }
    // Runs an extraction of "cab" + name from dir with the recorder.
    int Extract(const char* name = "a.cab", const char* dir = "") { return recorder.Extract(decoder, name, dir); }

    MemoryIo io;
    CabError error = {0, 0, 0};
    CabDecoder* decoder = nullptr;
    NoticeRecorder recorder{io};
};

// A cabinet with one stored folder of one block holding the given files back
// to back.
inline CabinetSpec OneFolderCabinet(const std::vector<std::pair<std::string, Bytes>>& contents) {
    CabinetSpec spec;
    Bytes data;
    for (const auto& file : contents) {
        CabFileSpec entry;
        entry.name = file.first;
        entry.fileSize = uint32_t(file.second.size());
        entry.folderOffset = uint32_t(data.size());
        spec.files.push_back(entry);
        data.insert(data.end(), file.second.begin(), file.second.end());
    }
    CabFolderSpec folder;
    folder.blocks.push_back(StoredBlock(data));
    spec.folders.push_back(folder);
    return spec;
}
