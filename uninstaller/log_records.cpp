#include "log_records.h"

char* logData;
const char* readPosition;
const char* dataEnd;
const char* currentText;

int ReadNextRecord()
{
    LogRecordReader reader(readPosition, static_cast<std::size_t>(dataEnd - readPosition));
    LogRecordView record;
    if (!reader.Next(record)) return 0;
    currentText = record.text;
    readPosition += reader.Offset();
    // A last record that lost its NUL may hold a cut path that names
    // another file: it is never acted on.
    return record.whole ? record.type : UnterminatedRecord;
}

const char* SplitRecord(const char* text, char* first)
{
    unsigned i = 0;
    for (; text[i] != RecordFieldSeparator; ++i)
        if (text[i] == 0 || i + 1 == PathSize) {
            first[0] = 0;
            return nullptr;
        }
    for (unsigned j = 0; j < i; ++j) first[j] = text[j];
    first[i] = 0;
    return text + i + 1;
}
