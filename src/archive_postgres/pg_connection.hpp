// A small wrapper of ours over libpq: one connection to the archive's server, statements with
// text parameters, results that free themselves, and COPY for bulk rows. A connection that cannot
// be made or is lost throws ArchiveUnreachable (the receptions then wait on the disk); every other
// failure throws ArchiveError with the server's own message.
#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorbel::postgres {

class Result {
  public:
    explicit Result(PGresult* result) : m_result(result, &PQclear) {}
    int Rows() const { return PQntuples(m_result.get()); }
    bool IsNull(int row, int column) const { return PQgetisnull(m_result.get(), row, column) != 0; }
    std::string_view Text(int row, int column) const {
        return {PQgetvalue(m_result.get(), row, column),
                static_cast<std::size_t>(PQgetlength(m_result.get(), row, column))};
    }
    std::int64_t Int64(int row, int column) const;
    double Double(int row, int column) const;
    // A bytea column of a text-format result.
    std::vector<std::uint8_t> Bytes(int row, int column) const;
    // Columns of a binary-format result (ExecuteBinary): bigint, and one-dimensional arrays of
    // bigint and of double precision (NULL elements as NaN, `present` false for them).
    std::int64_t BinaryInt64(int row, int column) const;
    std::vector<std::int64_t> BinaryInt64Array(int row, int column) const;
    void BinaryDoubleArray(int row, int column, std::vector<double>& values,
                           std::vector<bool>& present) const;
    // The count of rows an INSERT, UPDATE or DELETE touched.
    std::int64_t Affected() const;
    PGresult* Raw() const { return m_result.get(); }

  private:
    std::unique_ptr<PGresult, decltype(&PQclear)> m_result;
};

class BinaryRows;

using Parameters = std::vector<std::optional<std::string>>;

class Connection {
  public:
    // Connects; the password may also come from PGPASSWORD or ~/.pgpass, as libpq reads them.
    explicit Connection(const std::string& url);
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    const std::string& Location() const { return m_location; }
    // Runs one statement (no parameters: several may stand in it).
    Result Execute(const std::string& sql, const Parameters& parameters = {});
    // The same with the result's values in binary: arrays and doubles as the server holds them.
    Result ExecuteBinary(const std::string& sql, const Parameters& parameters);
    // COPY table(columns) FROM STDIN in text format: `rows` holds whole lines, each ending in \n,
    // with tabs between values and values escaped by CopyText.
    void Copy(const std::string& target, const std::string& rows);
    // COPY table(columns) FROM STDIN in binary format, in pieces: the rows of BinaryRows go to the
    // server as they are made, so that it stores them while the next ones are made.
    void BeginBinaryCopy(const std::string& target);
    void PutCopyData(std::string_view data);
    void EndCopy();
    // Ends a COPY that failed on this side: the server drops its rows (and fails the
    // transaction).
    void AbandonCopy();
    // The rows made since the last call (the header first, at the start); `last` adds the trailer
    // that ends them. The rows are left empty, their memory kept for the next ones.
    void PutCopyRows(BinaryRows& rows, bool last);
    // All the rows at once.
    void CopyBinary(const std::string& target, BinaryRows& rows);
    // True when the connection is lost (the server stopped or the network went away).
    bool Lost() const { return PQstatus(m_connection.get()) != CONNECTION_OK; }

  private:
    [[noreturn]] void Fail(const std::string& what, const char* message) const;
    Result Run(const std::string& sql, const Parameters& parameters, int resultFormat);
    void BeginCopy(const std::string& statement);

    std::string m_location;
    std::unique_ptr<PGconn, decltype(&PQfinish)> m_connection;
};

// Rows in COPY's binary format: no parsing of numbers or hexadecimal text on the server, and
// doubles stored bit for bit. Each row gives its count of values, then each value as its length
// and its bytes in network order (length -1: NULL).
class BinaryRows {
  public:
    BinaryRows();
    void Row(int values);
    void Int16(int value);
    void Int32(std::int32_t value);
    void Int64(std::int64_t value);
    void Double(double value);
    void Null();
    // Text as ServerText makes it.
    void Text(std::string_view text);
    void Bytes(std::span<const std::uint8_t> bytes);
    // One-dimensional arrays: bigint[], and double precision[] whose elements are NULL where
    // `present` is false.
    void Int64Array(std::span<const std::int64_t> values);
    void DoubleArray(std::span<const double> values, const std::vector<bool>& present);
    // smallint[] (bytes 2) or integer[] (bytes 4) of values that are whole numbers in its range.
    void WholeArray(std::span<const double> values, const std::vector<bool>& present, int bytes);

    bool Empty() const { return m_rows == 0; }
    std::size_t Size() const { return m_data.size(); }
    // The data made since the last Clear; `last` adds the trailer that ends the rows.
    std::string_view Data(bool last);
    void Clear() { m_data.clear(); }
    // Starts the rows of another COPY: its header, no rows; the memory is kept.
    void Restart();

  private:
    void Raw(std::uint64_t value, int bytes);
    // `bytes` more bytes at the end of the data, to be written in place.
    char* Room(std::size_t bytes);
    // An array's length and header; false elements of `present` are NULL. Gives the bytes of the
    // elements that follow.
    std::size_t ArrayHeader(std::size_t count, const std::vector<bool>& present,
                            std::uint32_t elementType, int elementBytes);

    std::string m_data;
    std::size_t m_rows = 0;
};

// A bigint[] literal of the values, "{1,2,3}", for a text parameter.
std::string BigintArrayText(std::span<const std::int64_t> values);

// Text as the server's UTF-8 database takes it: 8-bit text from a file or a frame that is not
// UTF-8 is read as Latin-1, and NUL bytes are left out, so that no reception is ever refused
// for the bytes of its texts.
std::string ServerText(std::string_view text);
// A value for COPY's text format (as ServerText makes it): backslash, tab, newline and carriage
// return escaped.
void AppendCopyText(std::string& rows, std::string_view text);

}  // namespace quorbel::postgres
