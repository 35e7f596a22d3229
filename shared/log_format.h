#pragma once
// The uninstall log's format, as the installer writes it and every reader takes it.
// A log is typed records back to back, nothing else: a type byte (1 to 255),
// a text and its NUL. Plain byte work: no C runtime, no <windows.h>.
#include <cstddef>
#include <cstdint>

enum LogRecordType : std::uint8_t {
    ProductText = 1,       // the product description -> headline
    TargetCaption = 2,     // an installed target's caption, leading blank kept -> stage line
    InstalledFile = 3,     // full path of a file written from the payload -> deleted
    MachineKeyOpen = 4,    // HKLM key whose value the next KeyValueDelete names -> held
    KeyValueDelete = 5,    // value name in the key held -> deleted, key let go
    UserKeyDelete = 6,     // HKCU key -> deleted
    MachineKeyDelete = 7,  // HKLM key: the product's key, its uninstall entry -> deleted
    NoAction = 8,          // written by earlier kits; read and passed over
    UserKeyOpen = 9,       // an environment's Known Packages or Library key under HKCU -> held
    SearchPathEntry = 10,  // search-path value name, TAB, the entry as added (";folder")
    HelpLine = 11,         // help configuration file, TAB, the text appended to it
    ProductFile = 12,      // a product file outside the home folder -> deleted
    CreatedFolder = 13,    // the home folder or a folder below it -> removed at the end when empty
    LogonComponent = 14,   // the Active Setup component's key -> its Version raised, kept with the registrar
};
constexpr std::uint8_t LastRecordType = LogonComponent;

// Separates the two parts of a SearchPathEntry or HelpLine record.
constexpr char RecordFieldSeparator = '\t';

// The largest log there is: what the installer collects, and what the
// uninstaller reads (its progress range is 16 bits too).
constexpr std::size_t MaxLogSize = 0xFFFF;

// One record as it stands in the data.
struct LogRecordView {
    std::uint8_t type = 0;
    const char* text = nullptr;  // inside the data; NUL-terminated when whole
    std::size_t length = 0;      // of text, without its NUL
    bool whole = false;          // false: the last record lost its NUL, and its text may be a cut path

    // True for a whole record of this type and text.
    bool Is(std::uint8_t otherType, const char* otherText) const
    {
        if (!whole || type != otherType) return false;
        for (std::size_t i = 0; i < length; ++i)
            if (otherText[i] != text[i]) return false;
        return otherText[length] == 0;
    }
};

// Walks the records of (data, size), never reading at or past its end.
class LogRecordReader {
public:
    LogRecordReader(const char* data, std::size_t size) : data_(data), size_(size) {}
    LogRecordReader(const std::uint8_t* data, std::size_t size)
        : data_(reinterpret_cast<const char*>(data)), size_(size) {}

    // The record at the reader, then moves past it. False at the end of the
    // data and at a zero type byte, where no record starts: the reader stays
    // there. A last record without its NUL is yielded, not whole.
    bool Next(LogRecordView& record)
    {
        if (at_ >= size_ || data_[at_] == 0) return false;
        record.type = static_cast<std::uint8_t>(data_[at_]);
        record.text = data_ + at_ + 1;
        std::size_t end = at_ + 1;
        while (end < size_ && data_[end] != 0) ++end;
        record.length = end - at_ - 1;
        record.whole = end < size_;
        at_ = record.whole ? end + 1 : size_;
        return true;
    }
    // Where the next record starts.
    std::size_t Offset() const { return at_; }

private:
    const char* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};
