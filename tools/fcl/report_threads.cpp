// The threads of `fcl report --threads`: workers, each with its own library handle, compiled
// formulas and field host, take jobs from a ring in input order; the main thread writes the
// finished jobs in the same order. A job is a chunk of read records (cells filled by a worker)
// or, where the writer formats rows apart and there are no groups, a block of raw input (split,
// run and formatted by a worker).
#include <algorithm>
#include <array>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "report.h"

namespace fcltool {

namespace {

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

}  // namespace

// A run of consecutive records with their cells. Its storage is reused from chunk to chunk, so
// that a warm run allocates nothing per record.
struct ReportRunner::Chunk {
    std::vector<std::vector<std::string>> records;
    std::vector<std::uint64_t> numbers;  // 1-based; skipped records leave gaps
    std::vector<std::uint64_t> lines;
    std::vector<char> group_last;
    std::size_t count = 0;
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
    Worker(bool text_numbers, bool raw_input, bool raw_terminal)
        : host(text_numbers), input(raw_input), terminal(raw_terminal) {}
    ~Worker() { FCLRELEASEHANDLE(handle); }
    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    FCLHANDLE handle = nullptr;
    RecordHost host;
    TextCodec input;
    TextCodec terminal;
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
        if (!worker.evaluator->evaluate(worker.views, chunk.numbers[i], chunk.lines[i], chunk.group_last[i] != 0,
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
        // A quoted cell that runs to the end matters only where no earlier record stopped the block.
        if (splitter.unterminated() && run) {
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

bool ReportRunner::add_workers(std::vector<std::unique_ptr<Worker>>& workers, std::string& error) {
    // Each thread compiles the formulas again on its own handle, with its own host.
    for (unsigned i = 0; i < settings_.threads; ++i) {
        auto worker = std::make_unique<Worker>(settings_.text_numbers, input_codec_.raw(), terminal_.raw());
        worker->handle = FCLCREATEHANDLE();
        if (!worker->handle) {
            error = "cannot make a library handle for thread " + std::to_string(i + 1);
            return false;
        }
        for (std::size_t field = 0; field < input_.fields().size(); ++field) {
            const InputField& input = input_.fields()[field];
            worker->host.add_field(input.name, input.type, field);
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
            worker->host.add_column(formula.name, code[0], column);
            codes.push_back(code);
        }
        worker->evaluator = std::make_unique<RecordEvaluator>(input_.fields(), formulas_, std::move(codes), worker->host,
                                                              worker->handle, nullptr, worker->input, worker->terminal,
                                                              settings_);
        worker->cells.resize(formulas_.size());
        workers.push_back(std::move(worker));
    }
    host_.activate();
    return true;
}

bool ReportRunner::write_chunk(const Chunk& chunk, std::string& error) {
    failures_ += chunk.failures;
    for (std::size_t i = 0; i < chunk.count; ++i) {
        write_skipped(chunk.numbers[i]);
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
    Pool<Chunk> pool(settings_.threads * kChunksPerThread);
    if (!add_workers(pool.workers(), error)) return false;
    const std::size_t formulas = formulas_.size();
    pool.start([formulas](Worker& worker, Chunk& chunk) { run_chunk(worker, chunk, formulas); });

    const bool grouped = settings_.group_field >= 0;
    std::size_t chunk_size = kFirstChunk;
    Chunk* chunk = nullptr;
    bool stopped = false;  // a written record stopped the report
    const auto submit = [&] {
        if (!chunk || chunk->count == 0) return;
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
    std::uint64_t number = 0;
    std::uint64_t line = 0;
    bool have = read(current, number, line, error);
    while (have && error.empty() && !stopped) {
        // A record that cannot be read ends the input: the one in hand is the last, and runs.
        std::uint64_t next_number = 0;
        std::uint64_t next_line = 0;
        const bool have_next = read(next, next_number, next_line, error) && error.empty();
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
                chunk->numbers.resize(chunk_size);
                chunk->lines.resize(chunk_size);
                chunk->group_last.resize(chunk_size);
            }
        }
        const std::size_t slot = chunk->count++;
        chunk->records[slot].swap(current);
        chunk->numbers[slot] = number;
        chunk->lines[slot] = line;
        chunk->group_last[slot] = group_last ? 1 : 0;
        if (chunk->count == chunk_size) {
            submit();
            write_ready(false);
        }
        current.swap(next);
        number = next_number;
        line = next_line;
        have = have_next;
    }
    // What was read before a read error still runs.
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
    bool broken = false;  // a record that cannot be read ends the input
    // Record i shows that the record before it, held or in the block, is not the last, unless
    // it cannot be read.
    for (std::size_t i = 0; i < count && !stopped; ++i) {
        const std::uint64_t next_end = block.offset + block.record_end[i];
        broken = block.stop == Block::Stop::Unterminated && block.stop_at == i;
        if (i == 0) {
            stopped = !write_held(next_end, broken, format, error);
        } else {
            stopped = !write_block_record(block, i - 1, next_end, message, error);
            if (!stopped) ++written;
        }
        if (broken && !stopped) {
            error = unterminated_message(block.error.line + block_first_line_);
            stopped = true;
        } else {
            broken = false;
        }
    }
    format.write_rows({block.rows.data(), written ? block.row_end[written - 1] : 0}, written);
    if (broken && written) close_group({}, cells_);
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
        if (!reader.next_block(block->bytes, block->size, target)) break;
        block->offset = offset;
        offset += block->size;
        pool.submit();
        target = std::min(target * 2, kLargestBlock);
        write_ready(false);
    }
    while (pool.pending() && !stopped) write_ready(true);
    return !stopped && write_held(reader.bytes_consumed(), true, format, error);
}

}  // namespace fcltool
