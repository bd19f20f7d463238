#include "report_runner.h"

#include <algorithm>
#include <array>
#include <condition_variable>
#include <cstdio>
#include <functional>
#include <mutex>
#include <thread>

#include "status_text.h"
#include "value_text.h"

namespace fcltool {

namespace {

constexpr std::uint64_t kProgressStep = 100000;

// Records per chunk of a threaded run: the first chunks are small so that every thread gets
// work at once (and short inputs still spread over the threads), later ones large so that the
// hand-over costs nothing against the formulas' work.
constexpr std::size_t kFirstChunk = 16;
constexpr std::size_t kLargestChunk = 1024;
// Chunks in flight per thread: being filled, run, or waiting to be written.
constexpr std::size_t kChunksPerThread = 4;
// Input bytes per block, in the same way: small first blocks, then blocks of some thousand
// records, small enough that the threads finish close together at the input's end.
constexpr std::size_t kFirstBlock = 1 << 12;
constexpr std::size_t kLargestBlock = 1 << 18;
constexpr std::size_t kBlocksPerThread = 4;

// Pass keys change with every record so that the library restarts its slot numbering; they stay
// within 2..1000, clear of the library's status codes, so a key returned as a status (the slot
// limit) is recognisable.
std::uint16_t pass_key(std::uint64_t record) { return static_cast<std::uint16_t>(2 + record % 999); }

void view(const std::vector<std::string>& record, std::vector<std::string_view>& views) {
    views.resize(record.size());
    for (std::size_t i = 0; i < record.size(); ++i) views[i] = record[i];
}

std::string unterminated_message(std::uint64_t line) {
    return "line " + std::to_string(line) + ": a quoted cell runs to the end of the input";
}

const std::string& cell_of(const std::vector<std::string>& record, int index) {
    static const std::string kEmpty;
    return index >= 0 && static_cast<std::size_t>(index) < record.size() ? record[static_cast<std::size_t>(index)]
                                                                          : kEmpty;
}

ReportCell::Kind kind_of(std::uint8_t type) {
    switch (type) {
        case FCL_T_STRING: return ReportCell::Kind::Text;
        case FCL_T_NUMBER: return ReportCell::Kind::Number;
        case FCL_T_LOGICAL: return ReportCell::Kind::Logical;
        case FCL_T_TIME: return ReportCell::Kind::Time;
        case FCL_T_DATE: return ReportCell::Kind::Date;
        default: return ReportCell::Kind::Empty;
    }
}

std::vector<const unsigned char*> codes_of(const std::vector<ReportFormula>& formulas) {
    std::vector<const unsigned char*> codes;
    for (const auto& formula : formulas) codes.push_back(formula.code);
    return codes;
}

}  // namespace

// ---- One record -------------------------------------------------------------------------

RecordEvaluator::RecordEvaluator(const std::vector<InputField>& fields, const std::vector<ReportFormula>& formulas,
                                 std::vector<const unsigned char*> codes, RecordHost& host, FCLHANDLE handle,
                                 AggregateSync* sync, TextCodec& codec, const RunSettings& settings)
    : fields_(fields),
      formulas_(formulas),
      codes_(std::move(codes)),
      host_(host),
      handle_(handle),
      sync_(sync),
      codec_(codec),
      cache_(codec),
      settings_(settings) {}

std::string RecordMessage::full(std::uint64_t first_number, std::uint64_t first_line) const {
    return "row " + std::to_string(number + first_number) + " (line " + std::to_string(line + first_line) + ")" +
           text;
}

bool RecordEvaluator::evaluate(const std::vector<std::string_view>& record, std::uint64_t number,
                               std::uint64_t line, bool group_last, std::vector<ReportCell>& cells,
                               std::vector<RecordMessage>& messages, RecordMessage& error) {
    number_ = number;
    line_ = line;
    converted_.resize(record.size());
    for (std::size_t i = 0; i < record.size(); ++i) {
        if (!cache_.to_cp932(i, record[i], converted_[i])) {
            error = message(", field " + (i < fields_.size() ? fields_[i].label : std::to_string(i + 1)) +
                            ": text that is not UTF-8 or that code page 932 cannot hold");
            return false;
        }
    }
    if (record.size() != fields_.size())
        messages.push_back(message(": " + std::to_string(record.size()) + " cells where the header has " +
                                   std::to_string(fields_.size())));
    host_.begin_record(&converted_, pass_key(++runs_), group_last);
    unsigned char result[FCL_MAX_VALUE];
    cells.resize(formulas_.size());
    for (std::size_t column = 0; column < formulas_.size(); ++column) {
        host_.begin_execution(column);
        const std::uint16_t status =
            handle_ ? FCLEXECUTE2(RecordHost::callback, &host_, codes_[column], result, handle_)
                    : FCLEXECUTE(RecordHost::callback, &host_, codes_[column], result);
        host_.set_column_result(column, result, status == FCL_OK);
        fill_cell(cells[column], result, status, column, messages);
        if (status != FCL_OK && sync_) sync_->skip_rest(formulas_[column], host_.aggregate_calls(), host_);
    }
    return true;
}

void RecordEvaluator::fill_cell(ReportCell& cell, const unsigned char* result, std::uint16_t status,
                                std::size_t column, std::vector<RecordMessage>& messages) {
    const auto place = [&] { return ", column \"" + formulas_[column].text.header + "\": "; };
    std::string detail;
    if (host_.has_problem()) codec_.to_outside(host_.take_problem(), detail);
    if (status != FCL_OK) {
        ++failures_;
        cell.kind = ReportCell::Kind::Error;
        if (status == host_.pass_key()) {
            cell.status = kSlotLimitStatus;
            cell.text = "more aggregate calls in a record than the profile's SumSize, AvgSize, MinSize or MaxSize allow";
        } else {
            cell.status = status;
            cell.text = status_meaning(status);
        }
        messages.push_back(message(place() + (cell.status == kSlotLimitStatus ? cell.text : status_line(status)) +
                                   (detail.empty() ? "" : " (" + detail + ")")));
        return;
    }
    if (!detail.empty()) messages.push_back(message(place() + detail));
    cell.kind = kind_of(result[0]);
    cell.status = 0;
    cell.text.clear();
    if (cell.kind != ReportCell::Kind::Text) {
        append_value_text(cell.text, result, settings_.text_numbers, settings_.exact);
        return;
    }
    scratch_.clear();
    append_value_text(scratch_, result, settings_.text_numbers, settings_.exact);
    if (!cache_.to_outside(column, scratch_, cell.text))
        messages.push_back(message(place() + "bytes with no character, shown as \\xNN"));
}

// ---- The threads ------------------------------------------------------------------------

// A run of consecutive records with their cells. Its storage is reused from chunk to chunk, so
// that a warm run allocates nothing per record.
struct ReportRunner::Chunk {
    std::vector<std::vector<std::string>> records;
    std::vector<std::uint64_t> lines;
    std::vector<char> group_last;
    std::size_t count = 0;
    std::uint64_t first = 0;  // number of the first record, 1-based
    // Filled by the worker:
    std::vector<std::vector<ReportCell>> cells;
    std::vector<RecordMessage> messages;
    std::vector<std::size_t> message_end;  // per record: messages.size() after it
    std::size_t done = 0;                  // records run; fewer than count after `error`
    std::uint64_t failures = 0;
    std::string error;
    bool ready = false;  // guarded by the pool's mutex
};

// Whole records of the input, cut by the main thread, with the rows that a worker formatted of
// them. Records and lines count from 0 at the block's start; the main thread adds the numbers
// before the block. Its storage is reused from block to block. Whole cache lines, as two
// workers fill neighbouring blocks at once.
struct alignas(64) ReportRunner::Block {
    enum class Stop { None, Fails, Unterminated };

    std::vector<char> bytes;
    std::size_t size = 0;     // bytes of whole records in `bytes`
    std::uint64_t offset = 0;  // input offset of the first byte
    // Filled by the worker:
    std::string rows;
    std::vector<std::size_t> row_end;     // per record: rows.size() after it
    std::vector<std::size_t> record_end;  // per record: offset of its end in the block
    std::vector<RecordMessage> messages;
    std::uint64_t lines = 0;  // lines that the block ends
    std::uint64_t failures = 0;
    // The record that stops the report: one whose text cannot be converted (the record after
    // it, if any, follows it unrun, as the look-ahead), or a quoted cell that runs to the end
    // of the input (no record follows it).
    Stop stop = Stop::None;
    std::size_t stop_at = 0;
    RecordMessage error;  // the stopping record's message (Fails) or line (Unterminated)
    bool ready = false;   // guarded by the pool's mutex
};

// Whole cache lines, so that no worker's host shares one with another's.
struct alignas(64) ReportRunner::Worker {
    Worker(bool text_numbers, bool raw_codec) : host(text_numbers), codec(raw_codec) {}
    ~Worker() { FCLRELEASEHANDLE(handle); }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    FCLHANDLE handle = nullptr;
    RecordHost host;
    TextCodec codec;
    std::vector<std::array<unsigned char, FCL_MAX_CODE>> codes;
    std::unique_ptr<RecordEvaluator> evaluator;
    // The record being run, reused from record to record:
    RecordSplitter splitter;
    std::vector<std::string_view> views;
    std::vector<ReportCell> cells;
    std::thread thread;
};

// The ring of jobs (chunks or blocks): the main thread fills job `submitted_ % size`, the
// workers take them in order, the main thread writes job `written_ % size` once it is ready.
template <class Job>
class ReportRunner::Pool {
public:
    using Run = std::function<void(Worker&, Job&)>;

    explicit Pool(std::size_t jobs) : ring_(jobs) {}

    ~Pool() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            stop_ = true;
        }
        work_.notify_all();
        for (auto& worker : workers_)
            if (worker->thread.joinable()) worker->thread.join();
    }

    // The next job to fill; null while every job is in flight (write one first).
    Job* free_job() { return submitted_ - written_ < ring_.size() ? &ring_[submitted_ % ring_.size()] : nullptr; }

    // The job that free_job() gave is filled.
    void submit() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            ++submitted_;
        }
        work_.notify_one();
    }

    bool pending() const { return written_ < submitted_; }

    // The oldest job not yet written: waits until it is ready when `wait`, else null when it
    // is not ready yet.
    Job* oldest(bool wait) {
        if (!pending()) return nullptr;
        Job& job = ring_[written_ % ring_.size()];
        std::unique_lock<std::mutex> lock(mutex_);
        if (wait) ready_.wait(lock, [&] { return job.ready; });
        return job.ready ? &job : nullptr;
    }

    void written(Job& job) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            job.ready = false;
        }
        ++written_;
    }

    std::vector<std::unique_ptr<Worker>>& workers() { return workers_; }

    void start(Run run) {
        run_ = std::move(run);
        for (auto& worker : workers_) {
            Worker* self = worker.get();
            worker->thread = std::thread([this, self] { work(*self); });
        }
    }

private:
    void work(Worker& worker) {
        worker.host.activate();
        for (;;) {
            std::unique_lock<std::mutex> lock(mutex_);
            work_.wait(lock, [&] { return stop_ || taken_ < submitted_; });
            if (stop_) return;
            Job& job = ring_[taken_++ % ring_.size()];
            lock.unlock();
            run_(worker, job);
            lock.lock();
            job.ready = true;
            lock.unlock();
            ready_.notify_one();
        }
    }

    std::vector<Job> ring_;
    std::vector<std::unique_ptr<Worker>> workers_;
    Run run_;
    std::mutex mutex_;
    std::condition_variable work_;
    std::condition_variable ready_;
    std::size_t submitted_ = 0;  // written by the main thread under the mutex
    std::size_t taken_ = 0;      // guarded by the mutex
    std::size_t written_ = 0;    // the main thread's own
    bool stop_ = false;
};

void ReportRunner::run_chunk(Worker& worker, Chunk& chunk, std::size_t formulas) {
    chunk.messages.clear();
    chunk.error.clear();
    if (chunk.cells.size() < chunk.count) chunk.cells.resize(chunk.count);
    if (chunk.message_end.size() < chunk.count) chunk.message_end.resize(chunk.count);
    const std::uint64_t failures = worker.evaluator->failures();
    RecordMessage error;
    chunk.done = 0;
    for (; chunk.done < chunk.count; ++chunk.done) {
        const std::size_t i = chunk.done;
        chunk.cells[i].resize(formulas);
        view(chunk.records[i], worker.views);
        if (!worker.evaluator->evaluate(worker.views, chunk.first + i, chunk.lines[i], chunk.group_last[i] != 0,
                                        chunk.cells[i], chunk.messages, error)) {
            chunk.error = error.full();
            break;
        }
        chunk.message_end[i] = chunk.messages.size();
    }
    chunk.failures = worker.evaluator->failures() - failures;
}

// Formulas here have no aggregates (those keep one thread), so no record needs to know whether
// it ends its group.
void ReportRunner::run_block(Worker& worker, Block& block, const RowFormat& format) {
    block.rows.clear();
    block.row_end.clear();
    block.record_end.clear();
    block.messages.clear();
    block.stop = Block::Stop::None;
    const std::uint64_t failures = worker.evaluator->failures();
    RecordSplitter& splitter = worker.splitter;
    splitter.reset(std::string_view(block.bytes.data(), block.size));
    bool run = true;
    while (run && splitter.next(worker.views)) {
        const std::size_t index = block.record_end.size();
        block.record_end.push_back(splitter.position());
        // The record after one that fails is not run: it only shows that there is one.
        run = block.stop == Block::Stop::None;
        if (splitter.unterminated()) {
            block.stop = Block::Stop::Unterminated;
            block.stop_at = index;
            block.error = {index, splitter.record_line(), {}};
        } else if (run && !worker.evaluator->evaluate(worker.views, index, splitter.record_line(), false,
                                                      worker.cells, block.messages, block.error)) {
            block.stop = Block::Stop::Fails;
            block.stop_at = index;
        } else if (run) {
            format.append_row(worker.cells, block.rows);
        }
        block.row_end.push_back(block.rows.size());
    }
    block.lines = splitter.lines();
    block.failures = worker.evaluator->failures() - failures;
}

// ---- The loop ---------------------------------------------------------------------------

ReportRunner::ReportRunner(ReportInput& input, std::vector<ReportFormula>& formulas, RecordHost& host,
                           AggregateSync* sync, ReportWriter& writer, TextCodec& codec, RunSettings settings)
    : input_(input),
      formulas_(formulas),
      host_(host),
      sync_(sync),
      writer_(writer),
      codec_(codec),
      settings_(settings),
      cells_(formulas.size()),
      subtotal_(formulas.size()) {}

ReportRunner::~ReportRunner() = default;

bool ReportRunner::run(std::string& error) {
    if (settings_.threads <= 1 || sync_) return run_sequential(error);
    RowFormat* format = writer_.row_format();
    return format && settings_.group_field < 0 ? run_blocks(*format, error) : run_threaded(error);
}

bool ReportRunner::read(std::vector<std::string>& record, std::string& error) {
    CsvReader& reader = input_.reader();
    const bool got = reader.next(record);
    if (reader.unterminated()) error = unterminated_message(reader.record_line());
    return got;
}

void ReportRunner::open_group(const std::vector<std::string>& record) {
    if (group_open_) return;
    writer_.group_begin(settings_.group_field >= 0 ? &cell_of(record, settings_.group_field) : nullptr);
    group_open_ = true;
}

void ReportRunner::open_report_group() {
    if (group_open_) return;
    writer_.group_begin(nullptr);
    group_open_ = true;
}

void ReportRunner::write_record(const std::vector<std::string>& record, const std::vector<ReportCell>& cells,
                                bool group_last, const std::vector<RecordMessage>& messages,
                                std::size_t first_message, std::size_t end_message) {
    for (std::size_t i = first_message; i < end_message; ++i) messages_.add(messages[i].full());
    writer_.row(cells);
    if (group_last) close_group(record, cells);
}

void ReportRunner::close_group(const std::vector<std::string>& record, const std::vector<ReportCell>& cells) {
    for (std::size_t column = 0; column < formulas_.size(); ++column) {
        if (formulas_[column].aggregates.empty()) {
            subtotal_[column].kind = ReportCell::Kind::Empty;
            subtotal_[column].status = 0;
            subtotal_[column].text.clear();
        } else {
            subtotal_[column] = cells[column];
        }
    }
    if (settings_.group_field >= 0) {
        label_.assign("Subtotal ");
        label_ += cell_of(record, settings_.group_field);
    } else {
        label_.assign("Total");
    }
    writer_.group_end(label_, subtotal_);
    group_open_ = false;
}

bool ReportRunner::run_sequential(std::string& error) {
    CsvReader& reader = input_.reader();
    RecordEvaluator evaluator(input_.fields(), formulas_, codes_of(formulas_), host_, nullptr, sync_, codec_,
                              settings_);
    std::vector<std::string> current;
    std::vector<std::string> next;
    bool have = read(current, error);
    std::uint64_t line = reader.record_line();
    const bool grouped = settings_.group_field >= 0;
    RecordMessage failure;
    while (have && error.empty()) {
        const bool have_next = read(next, error);
        const std::uint64_t next_line = reader.record_line();
        if (!error.empty()) break;
        const bool group_last = !have_next || (grouped && cell_of(current, settings_.group_field) !=
                                                              cell_of(next, settings_.group_field));
        open_group(current);
        ++records_;
        record_messages_.clear();
        view(current, views_);
        const bool ran = evaluator.evaluate(views_, records_, line, group_last, cells_, record_messages_, failure);
        failures_ = evaluator.failures();
        if (!ran) {
            for (const auto& message : record_messages_) messages_.add(message.full());
            error = failure.full();
            break;
        }
        write_record(current, cells_, group_last, record_messages_, 0, record_messages_.size());
        current.swap(next);
        line = next_line;
        have = have_next;
        if (records_ % kProgressStep == 0) progress(reader.bytes_consumed());
    }
    return error.empty();
}

bool ReportRunner::add_workers(std::vector<std::unique_ptr<Worker>>& workers, std::string& error) {
    // Each thread compiles the formulas again on its own handle, with its own host.
    for (unsigned i = 0; i < settings_.threads; ++i) {
        auto worker = std::make_unique<Worker>(settings_.text_numbers, codec_.raw());
        worker->handle = FCLCREATEHANDLE();
        if (!worker->handle) {
            error = "cannot make a library handle for thread " + std::to_string(i + 1);
            return false;
        }
        for (std::size_t field = 0; field < input_.fields().size(); ++field) {
            const InputField& input = input_.fields()[field];
            worker->host.add_field(input.name, input.type, input.label, field);
        }
        worker->codes.resize(formulas_.size());
        std::vector<const unsigned char*> codes;
        worker->host.activate();
        for (std::size_t column = 0; column < formulas_.size(); ++column) {
            const ReportFormula& formula = formulas_[column];
            unsigned char* code = worker->codes[column].data();
            std::uint16_t length = 0;
            const std::uint16_t status = FCLCOMPILE2(RecordHost::callback, &worker->host, formula.source.c_str(), code,
                                                     &length, worker->handle);
            if (status != FCL_OK) {
                error = "column \"" + formula.text.header + "\": cannot compile it for thread " +
                        std::to_string(i + 1) + ": " + status_line(status);
                return false;
            }
            worker->host.add_column(formula.name, code[0], formula.text.header, column);
            codes.push_back(code);
        }
        worker->evaluator = std::make_unique<RecordEvaluator>(input_.fields(), formulas_, std::move(codes), worker->host,
                                                              worker->handle, nullptr, worker->codec, settings_);
        worker->cells.resize(formulas_.size());
        workers.push_back(std::move(worker));
    }
    host_.activate();
    return true;
}

bool ReportRunner::write_chunk(const Chunk& chunk, std::string& error) {
    failures_ += chunk.failures;
    for (std::size_t i = 0; i < chunk.count; ++i) {
        open_group(chunk.records[i]);
        ++records_;
        if (i == chunk.done) {  // the record that stops the report (no message comes before it)
            error = chunk.error;
            return false;
        }
        write_record(chunk.records[i], chunk.cells[i], chunk.group_last[i] != 0, chunk.messages,
                     i ? chunk.message_end[i - 1] : 0, chunk.message_end[i]);
        if (records_ % kProgressStep == 0) progress(input_.reader().bytes_consumed());
    }
    return true;
}

bool ReportRunner::run_threaded(std::string& error) {
    CsvReader& reader = input_.reader();
    Pool<Chunk> pool(settings_.threads * kChunksPerThread);
    if (!add_workers(pool.workers(), error)) return false;
    const std::size_t formulas = formulas_.size();
    pool.start([formulas](Worker& worker, Chunk& chunk) { run_chunk(worker, chunk, formulas); });

    const bool grouped = settings_.group_field >= 0;
    std::size_t chunk_size = kFirstChunk;
    std::uint64_t next_record = 1;
    Chunk* chunk = nullptr;
    bool stopped = false;  // a written record stopped the report
    const auto submit = [&] {
        if (!chunk || chunk->count == 0) return;
        chunk->first = next_record;
        next_record += chunk->count;
        pool.submit();
        chunk = nullptr;
        if (chunk_size < kLargestChunk) chunk_size *= 2;
    };
    // Writes the chunks that are ready, in order; first waits for the oldest when `wait`.
    const auto write_ready = [&](bool wait) {
        for (bool first = true; !stopped; first = false) {
            Chunk* done = pool.oldest(wait && first);
            if (!done) return;
            stopped = !write_chunk(*done, error);
            done->count = 0;
            pool.written(*done);
        }
    };

    std::vector<std::string> current;
    std::vector<std::string> next;
    bool have = read(current, error);
    std::uint64_t line = reader.record_line();
    while (have && error.empty() && !stopped) {
        const bool have_next = read(next, error);
        const std::uint64_t next_line = reader.record_line();
        if (!error.empty()) break;
        const bool group_last = !have_next || (grouped && cell_of(current, settings_.group_field) !=
                                                              cell_of(next, settings_.group_field));
        while (!chunk && !stopped) {
            chunk = pool.free_job();
            if (!chunk) write_ready(true);
        }
        if (stopped) break;
        if (chunk->count == 0) {
            if (chunk->records.size() < chunk_size) {
                chunk->records.resize(chunk_size);
                chunk->lines.resize(chunk_size);
                chunk->group_last.resize(chunk_size);
            }
        }
        const std::size_t slot = chunk->count++;
        chunk->records[slot].swap(current);
        chunk->lines[slot] = line;
        chunk->group_last[slot] = group_last ? 1 : 0;
        if (chunk->count == chunk_size) {
            submit();
            write_ready(false);
        }
        current.swap(next);
        line = next_line;
        have = have_next;
    }
    // A read error ends the input before the record in hand: what came before still runs.
    std::string read_error;
    if (!stopped) read_error.swap(error);
    submit();
    while (pool.pending() && !stopped) write_ready(true);
    if (!stopped) error = read_error;
    return error.empty();
}

// ---- Blocks -----------------------------------------------------------------------------

bool ReportRunner::write_held(std::uint64_t next_end, bool last, RowFormat& format, std::string& error) {
    if (!held_.present) return true;
    held_.present = false;
    open_report_group();
    ++records_;
    if (held_.fails) {
        error = held_.error;
        return false;
    }
    for (const auto& message : held_.messages) messages_.add(message);
    format.write_rows(held_.row, 1);
    if (last) close_group({}, cells_);
    if (records_ % kProgressStep == 0) progress(next_end);
    return true;
}

void ReportRunner::hold(const Block& block, std::size_t index) {
    const std::size_t row_start = index ? block.row_end[index - 1] : 0;
    held_.present = true;
    held_.fails = block.stop == Block::Stop::Fails && block.stop_at == index;
    held_.messages.clear();
    if (held_.fails) {
        held_.error = block.error.full(block_first_number_, block_first_line_);
        return;
    }
    held_.row.assign(block.rows, row_start, block.row_end[index] - row_start);
    for (const auto& message : block.messages)
        if (message.number == index) held_.messages.push_back(message.full(block_first_number_, block_first_line_));
}

bool ReportRunner::write_block_record(const Block& block, std::size_t index, std::uint64_t next_end,
                                      std::size_t& message, std::string& error) {
    open_report_group();
    ++records_;
    if (block.stop == Block::Stop::Fails && block.stop_at == index) {
        error = block.error.full(block_first_number_, block_first_line_);
        return false;
    }
    for (; message < block.messages.size() && block.messages[message].number == index; ++message)
        messages_.add(block.messages[message].full(block_first_number_, block_first_line_));
    if (records_ % kProgressStep == 0) progress(next_end);
    return true;
}

bool ReportRunner::write_block(const Block& block, RowFormat& format, std::string& error) {
    failures_ += block.failures;
    const std::size_t count = block.record_end.size();
    std::size_t message = 0;
    std::size_t written = 0;  // records of the block written: their rows go out together
    bool stopped = false;
    // Record i shows that the record before it, held or in the block, is not the last.
    for (std::size_t i = 0; i < count && !stopped; ++i) {
        const std::uint64_t next_end = block.offset + block.record_end[i];
        if (block.stop == Block::Stop::Unterminated && block.stop_at == i) {
            error = unterminated_message(block.error.line + block_first_line_);
            stopped = true;
        } else if (i == 0) {
            stopped = !write_held(next_end, false, format, error);
        } else {
            stopped = !write_block_record(block, i - 1, next_end, message, error);
            if (!stopped) ++written;
        }
    }
    format.write_rows({block.rows.data(), written ? block.row_end[written - 1] : 0}, written);
    if (stopped) return false;
    if (count > 0) hold(block, count - 1);
    block_first_number_ += count;
    block_first_line_ += block.lines;
    return true;
}

bool ReportRunner::run_blocks(RowFormat& format, std::string& error) {
    Pool<Block> pool(settings_.threads * kBlocksPerThread);
    if (!add_workers(pool.workers(), error)) return false;
    pool.start([&format](Worker& worker, Block& block) { run_block(worker, block, format); });

    CsvReader& reader = input_.reader();
    BlockCutter cutter(reader);
    block_first_line_ = reader.line();
    std::uint64_t offset = reader.bytes_consumed();
    std::size_t target = kFirstBlock;
    bool stopped = false;  // a written record stopped the report
    // Writes the blocks that are ready, in order; first waits for the oldest when `wait`.
    const auto write_ready = [&](bool wait) {
        for (bool first = true; !stopped; first = false) {
            Block* done = pool.oldest(wait && first);
            if (!done) return;
            stopped = !write_block(*done, format, error);
            pool.written(*done);
        }
    };
    while (!stopped) {
        Block* block = pool.free_job();
        if (!block) {
            write_ready(true);
            continue;
        }
        if (!cutter.next(block->bytes, block->size, target)) break;
        block->offset = offset;
        offset += block->size;
        pool.submit();
        target = std::min(target * 2, kLargestBlock);
        write_ready(false);
    }
    while (pool.pending() && !stopped) write_ready(true);
    return !stopped && write_held(reader.bytes_consumed(), true, format, error);
}

void ReportRunner::progress(std::uint64_t consumed) {
    if (settings_.quiet || records_ == 0) return;
    const std::uint64_t size = input_.size();
    if (size > 0) {
        const auto percent = static_cast<unsigned>(consumed * 100 / size);
        std::fprintf(stderr, "fcl: %llu records (%u%%)\n", static_cast<unsigned long long>(records_), percent);
    } else {
        std::fprintf(stderr, "fcl: %llu records\n", static_cast<unsigned long long>(records_));
    }
}

}  // namespace fcltool
