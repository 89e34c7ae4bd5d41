// quantum_paged.cpp: the Quantum window kept in a scratch file, with 3 to
// pageCount page buffers in memory on a least-recently-used list.
//
// Window position w lives in page w / 4096 at offset w % 4096 (a window
// smaller than a page is one page of windowSize positions). Page i occupies
// the 4096 bytes at offset i * 4096 of the scratch file; every transfer is one
// whole page at a page-aligned offset. A page is written out only when its
// buffer is reused and it was taken for writing since it was loaded, and read
// back only when a match or the write position needs it again. The store
// produces exactly the bytes the in-memory window would, as long as no fetch
// fails; a failure sets storeFailed and the store is not touched again until
// the next reset.
//
// All memory and file access goes through the callbacks of currentContext.
#include <cstring>

#include "quantum_window.h"

// Positions held by one page: a whole page, or the window when it is smaller.
static uint32_t PagePositions() {
    return quantumState.windowSize < quantumPageBytes ? quantumState.windowSize : quantumPageBytes;
}

static int32_t LastPage() { return static_cast<int32_t>((quantumState.windowSize - 1) / quantumPageBytes); }

static void UnlinkBuffer(PageBuffer* buffer) {
    QuantumPagedStore& store = quantumState.paged;
    if (buffer->prev) buffer->prev->next = buffer->next;
    else store.mruHead = buffer->next;
    if (buffer->next) buffer->next->prev = buffer->prev;
    else store.lruTail = buffer->prev;
    buffer->prev = nullptr;
    buffer->next = nullptr;
}

static void PushHead(PageBuffer* buffer) {
    QuantumPagedStore& store = quantumState.paged;
    buffer->prev = nullptr;
    buffer->next = store.mruHead;
    if (store.mruHead) store.mruHead->prev = buffer;
    else store.lruTail = buffer;
    store.mruHead = buffer;
}

// Moves the file position of the scratch file to page pageIndex; false unless
// it lands exactly there.
static bool SeekToPage(const QuantumContext* context, int32_t pageIndex) {
    int32_t offset = pageIndex * static_cast<int32_t>(quantumPageBytes);
    return context->seek(quantumState.paged.scratchHandle, offset, cabSeekFromStart) == offset;
}

PageBuffer* FetchPage(int32_t pageIndex, bool forWriting) {
    QuantumPagedStore& store = quantumState.paged;
    const QuantumContext* context = quantumState.currentContext;
    PageSlot& slot = store.pageTable[pageIndex];
    if (slot.buffer) {
        PageBuffer* buffer = slot.buffer;
        if (buffer != store.mruHead) {
            UnlinkBuffer(buffer);
            PushHead(buffer);
        }
        if (forWriting) buffer->dirty = 1;
        return buffer;
    }

    // Only the tail is ever reused; the current output page must stay.
    PageBuffer* victim = store.lruTail;
    if (victim == store.currentPage) return nullptr;
    if (victim->pageIndex != -1) {
        PageSlot& evicted = store.pageTable[victim->pageIndex];
        evicted.buffer = nullptr;
        if (victim->dirty) {
            bool written = SeekToPage(context, victim->pageIndex) &&
                           context->write(store.scratchHandle, victim->data, quantumPageBytes) ==
                               static_cast<int32_t>(quantumPageBytes);
            if (!written) {
                victim->pageIndex = -1;
                victim->dirty = 0;
                return nullptr;
            }
            evicted.onDisk = 1;
        }
    }
    UnlinkBuffer(victim);
    PushHead(victim);
    victim->pageIndex = -1;
    victim->dirty = 0;

    if (slot.onDisk) {
        bool read = SeekToPage(context, pageIndex) &&
                    context->read(store.scratchHandle, victim->data, quantumPageBytes) ==
                        static_cast<int32_t>(quantumPageBytes);
        if (!read) return nullptr;
    } else if (!forWriting) {
        return nullptr;  // never written since the last reset
    }
    slot.buffer = victim;
    victim->dirty = forWriting ? 1 : 0;
    victim->pageIndex = pageIndex;
    return victim;
}

// Makes page pageIndex, taken for writing, the current output page with the
// cursor at its start. On failure sets storeFailed and ends the block.
static bool EnterPage(int32_t pageIndex) {
    QuantumPagedStore& store = quantumState.paged;
    PageBuffer* buffer = FetchPage(pageIndex, true);
    if (!buffer) {
        quantumState.storeFailed = 1;
        quantumState.outputLeft = 0;
        return false;
    }
    store.currentPage = buffer;
    store.pageCursor = buffer->data;
    store.pageEnd = buffer->data + PagePositions();
    return true;
}

// Called once the last position of the current page has been written. The
// page being left is complete, so its buffer may be the one reused: a match
// whose source crosses a page boundary and whose output then crosses one
// holds three pages (output, two source pages) when the fourth is needed,
// and with 3 buffers refusing to evict the finished output page would fail
// a sound stream.
static bool AdvancePage() {
    QuantumPagedStore& store = quantumState.paged;
    int32_t next = store.currentPage->pageIndex + 1;
    if (next > LastPage()) next = 0;
    store.currentPage = nullptr;
    return EnterPage(next);
}

void ClosePagedWindow() {
    QuantumPagedStore& store = quantumState.paged;
    const QuantumContext* context = quantumState.currentContext;
    if (store.pageTable) context->free(store.pageTable);
    PageBuffer* buffer = store.mruHead;
    while (buffer) {
        PageBuffer* next = buffer->next;
        context->free(buffer);
        buffer = next;
    }
    if (store.scratchHandle != -1) context->close(store.scratchHandle);
    store = QuantumPagedStore{};
    store.scratchHandle = -1;
}

void ResetPagedWindow() {
    QuantumPagedStore& store = quantumState.paged;
    store.currentPage = nullptr;
    for (PageBuffer* buffer = store.mruHead; buffer; buffer = buffer->next) {
        buffer->pageIndex = -1;
        buffer->dirty = 0;
    }
    for (uint32_t i = 0; i < store.pageCount; i++) store.pageTable[i] = PageSlot{nullptr, 0};
    // Every buffer is free and none is current, so this fetch cannot fail;
    // should it ever, storeFailed keeps the store from being used.
    EnterPage(0);
}

bool OpenPagedWindow() {
    QuantumPagedStore& store = quantumState.paged;
    const QuantumContext* context = quantumState.currentContext;
    store = QuantumPagedStore{};
    store.scratchHandle = -1;
    // Paging needs every file callback, not only open.
    if (!context->open || !context->read || !context->write || !context->seek || !context->close) return false;

    uint32_t windowSize = quantumState.windowSize;
    char name[quantumScratchNameBytes] = {
        '*',
        '\0',
        static_cast<char>(windowSize & 0xFF),
        static_cast<char>((windowSize >> 8) & 0xFF),
        static_cast<char>((windowSize >> 16) & 0xFF),
        static_cast<char>((windowSize >> 24) & 0xFF),
    };
    int32_t handle = context->open(name, quantumScratchOpenFlags, quantumScratchOpenMode);
    if (handle == -1) return false;
    store.scratchHandle = handle;

    store.pageCount = windowSize / quantumPageBytes;
    if (store.pageCount < quantumMinPageBuffers) store.pageCount = quantumMinPageBuffers;
    store.pageTable = static_cast<PageSlot*>(context->alloc(store.pageCount * sizeof(PageSlot)));
    if (!store.pageTable) {
        ClosePagedWindow();
        return false;
    }
    // The first buffer allocated ends up as the tail.
    uint32_t bufferCount = 0;
    while (bufferCount < store.pageCount) {
        PageBuffer* buffer = static_cast<PageBuffer*>(context->alloc(sizeof(PageBuffer)));
        if (!buffer) break;
        // Zeroed so that a reach-back into a page not written yet reads
        // zeros, never stale heap memory.
        std::memset(buffer, 0, sizeof(PageBuffer));
        PushHead(buffer);
        bufferCount++;
    }
    if (bufferCount < quantumMinPageBuffers) {
        ClosePagedWindow();
        return false;
    }
    ResetPagedWindow();
    return true;
}

static void PagedPutLiteral(uint8_t byte) {
    QuantumState& state = quantumState;
    QuantumPagedStore& store = state.paged;
    state.outputLeft--;
    *state.outputCursor++ = byte;
    state.windowPos++;
    *store.pageCursor++ = byte;
    if (store.pageCursor == store.pageEnd) AdvancePage();
}

static void PagedCopyMatch(uint16_t length, uint32_t distance) {
    QuantumState& state = quantumState;
    QuantumPagedStore& store = state.paged;
    if (state.outputLeft < length) {
        state.matchOverrun = 1;
        state.outputLeft = 0;
        return;
    }
    state.outputLeft = static_cast<uint16_t>(state.outputLeft - length);
    uint32_t source = (state.windowPos - distance) & state.windowMask;
    state.windowPos += length;

    // Bring the output page to the head first, so a source fetch never
    // evicts it.
    if (!FetchPage(store.currentPage->pageIndex, false)) {
        state.storeFailed = 1;
        state.outputLeft = 0;
        return;
    }
    uint32_t pagePositions = PagePositions();
    uint32_t left = length;
    while (left > 0) {
        uint32_t count = static_cast<uint32_t>(store.pageEnd - store.pageCursor);
        if (count > left) count = left;
        PageBuffer* from = FetchPage(static_cast<int32_t>(source / quantumPageBytes), false);
        if (!from) {
            state.storeFailed = 1;
            state.outputLeft = 0;
            return;
        }
        uint32_t offset = source % quantumPageBytes;
        if (count > pagePositions - offset) count = pagePositions - offset;
        // Byte by byte: source and output page may be the same buffer, and
        // an overlapping copy repeats the bytes just written.
        const uint8_t* sourceByte = from->data + offset;
        for (uint32_t i = 0; i < count; i++) {
            uint8_t byte = sourceByte[i];
            store.pageCursor[i] = byte;
            state.outputCursor[i] = byte;
        }
        store.pageCursor += count;
        state.outputCursor += count;
        left -= count;
        source = (source + count) & state.windowMask;
        if (store.pageCursor == store.pageEnd && !AdvancePage()) return;
    }
}

const QuantumWindowOps quantumPagedWindow = {PagedPutLiteral, PagedCopyMatch};
