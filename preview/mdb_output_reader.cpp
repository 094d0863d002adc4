#include "preview/mdb_output_reader.h"

namespace {

// Splits one CSV record from the front of `text`; false at the end of the text. `complete`
// says whether the record ended with a line break.
bool NextRecord(std::string_view& text, std::vector<std::string>& fields, bool& complete) {
    fields.clear();
    complete = false;
    if (text.empty()) {
        return false;
    }
    std::string field;
    bool quoted = false;
    bool wasQuoted = false;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (quoted) {
            if (c == '"') {
                if (i + 1 < text.size() && text[i + 1] == '"') {
                    field += '"';
                    ++i;
                } else {
                    quoted = false;
                }
            } else if (c == '\\' && i + 1 < text.size()) {
                const char next = text[++i];
                switch (next) {
                case 'n':
                    field += '\n';
                    break;
                case 'r':
                    field += '\r';
                    break;
                case 't':
                    field += '\t';
                    break;
                case '\\':
                    field += '\\';
                    break;
                default:
                    field += '\\';
                    field += next;
                    break;
                }
            } else {
                field += c;
            }
            continue;
        }
        if (c == '"' && field.empty() && !wasQuoted) {
            quoted = true;
            wasQuoted = true;
        } else if (c == ',') {
            if (fields.size() < MdbExportedTable::kMaxColumns) {
                fields.push_back(std::move(field));
            }
            field.clear();
            wasQuoted = false;
        } else if (c == '\n') {
            complete = true;
            ++i;
            break;
        } else if (c != '\r') {
            field += c;
        }
    }
    if (fields.size() < MdbExportedTable::kMaxColumns) {
        fields.push_back(std::move(field));
    }
    text.remove_prefix(std::min(i, text.size()));
    return true;
}

} // namespace

std::vector<std::string> MdbTableNames::Read(std::string_view output) {
    std::vector<std::string> names;
    while (!output.empty() && names.size() < kMaxTables) {
        const size_t end = output.find('\n');
        std::string_view line = output.substr(0, end);
        output = end == std::string_view::npos ? std::string_view() : output.substr(end + 1);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (!line.empty() && line.size() <= kMaxNameBytes) {
            names.emplace_back(line);
        }
    }
    return names;
}

MdbExportedTable MdbExportedTable::Read(std::string_view output, bool cut) {
    MdbExportedTable table;
    std::vector<std::string> fields;
    bool complete = false;
    if (!NextRecord(output, fields, complete) || (cut && !complete)) {
        return table;
    }
    table.columns = fields;
    while (table.rows.size() < kMaxRows && NextRecord(output, fields, complete)) {
        if (cut && !complete) {
            break;
        }
        fields.resize(table.columns.size());
        table.rows.push_back(fields);
    }
    return table;
}
