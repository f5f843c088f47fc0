#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>

namespace kalder::image {

// Left, top, right, bottom; right and bottom exclusive. Empty when right <= left or bottom <= top.
struct PixelRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;

    bool isEmpty() const { return right <= left || bottom <= top; }
    void unite(const PixelRect& other);
    bool operator==(const PixelRect&) const = default;
};

// The one form decoded pixels are kept in: 32 bits per pixel, bytes blue, green, red, unused,
// rows top-down with a stride of exactly width * 4. Pixel (x, y) is at byte (y * width + x) * 4.
//
// pixelLock guards the pixel bytes against a concurrent reader; dirtyLock guards dirtyRect only.
// A writer never holds both at once: it writes under pixelLock, releases it, then marks the row.
class Bitmap32 {
public:
    Bitmap32() = default;
    ~Bitmap32();
    Bitmap32(const Bitmap32&) = delete;
    Bitmap32& operator=(const Bitmap32&) = delete;

    // Allocates zeroed pixels. False (and empty) for a zero or negative size or when memory
    // runs out.
    [[nodiscard]] bool Create(std::int32_t width, std::int32_t height);
    void Release();
    // Releases other, creates it at this size, copies all pixels (this lock, then other's).
    [[nodiscard]] bool CopyTo(Bitmap32& other) const;

    void MarkRowDone(std::int32_t y);
    void MarkColumnDone(std::int32_t x);
    void markAllDone();
    // Returns the area written since the last call and empties it.
    PixelRect takeDirtyRect();
    PixelRect dirtyRect() const;

    std::int32_t width() const { return m_width; }
    std::int32_t height() const { return m_height; }
    bool isEmpty() const { return m_pixels == nullptr; }
    std::size_t stride() const { return static_cast<std::size_t>(m_width) * 4; }
    std::size_t byteSize() const { return stride() * static_cast<std::size_t>(m_height); }
    std::uint8_t* pixels() { return m_pixels.get(); }
    const std::uint8_t* pixels() const { return m_pixels.get(); }
    std::uint8_t* row(std::int32_t y) { return m_pixels.get() + stride() * y; }
    const std::uint8_t* row(std::int32_t y) const { return m_pixels.get() + stride() * y; }

    std::mutex& pixelLock() const { return m_pixelLock; }

private:
    // Small bitmaps come from malloc; large ones are mapped pages of their own (`mapped` bytes
    // from `base`), so they can be backed by huge pages.
    struct FreeDeleter {
        FreeDeleter() noexcept {}
        FreeDeleter(void* b, std::size_t m) noexcept : base(b), mapped(m) {}
        void operator()(std::uint8_t* p) const;
        void* base = nullptr;
        std::size_t mapped = 0;
    };

    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    std::unique_ptr<std::uint8_t, FreeDeleter> m_pixels;
    mutable std::mutex m_pixelLock;
    mutable std::mutex m_dirtyLock;  // guards m_dirtyRect
    PixelRect m_dirtyRect;
};

// A row of `count` pixels of a page as red, green, blue, three bytes each, the order files keep.
void bgrxToRgb(const std::uint8_t* bgrx, std::uint8_t* rgb, std::int32_t count);
// The other way: red, green, blue into a page row (the fourth byte becomes 0).
void rgbToBgrx(const std::uint8_t* rgb, std::uint8_t* bgrx, std::int32_t count);

// While a decoder fills a large bitmap, another core faults its pages in ahead of it, so the
// kernel's clearing of fresh pages is not on the decoder's path. The pixels are never written
// here: pages the decoder reached first are left as they are. Stops and joins when destroyed.
class PageWarmer {
public:
    // `lastRowFirst`: the decoder fills the bitmap from its last row up.
    PageWarmer(Bitmap32& bitmap, bool lastRowFirst);
    ~PageWarmer();
    PageWarmer(const PageWarmer&) = delete;
    PageWarmer& operator=(const PageWarmer&) = delete;

private:
    std::atomic<bool> m_stop{false};
    std::jthread m_thread;
};

}  // namespace kalder::image
