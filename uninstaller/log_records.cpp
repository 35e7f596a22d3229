#include "log_records.h"

char* logData;
const char* readPosition;
const char* dataEnd;
const char* currentText;

int ReadNextRecord()
{
    if (readPosition >= dataEnd) return 0;
    const unsigned char type = static_cast<unsigned char>(*readPosition);
    currentText = readPosition + 1;
    const char* end = currentText;
    while (end < dataEnd && *end != 0) ++end;
    if (end == dataEnd) {
        // The last record lost its NUL: its text may be a cut path that
        // names another file, so it is never acted on.
        readPosition = dataEnd;
        return type == 0 ? 0 : UnterminatedRecord;
    }
    readPosition = end + 1;
    return type;
}

const char* SplitRecord(const char* text, char* first)
{
    unsigned i = 0;
    for (; text[i] != FieldSeparator; ++i)
        if (text[i] == 0 || i + 1 == PathSize) {
            first[0] = 0;
            return nullptr;
        }
    for (unsigned j = 0; j < i; ++j) first[j] = text[j];
    first[i] = 0;
    return text + i + 1;
}
