#include "player/Demuxer.h"

#include <algorithm>
#include <chrono>

#include "player/PacketReader.h"

namespace corvid {

namespace {

using namespace std::chrono_literals;

constexpr std::size_t kEnoughPackets = 48;
constexpr std::size_t kMaxBytes = 24 * 1024 * 1024;

}  // namespace

Demuxer::Demuxer(MediaSource& file, PacketQueue* video, PacketQueue* audio, PlaybackFault& fault)
    : file_(file), video_(video), audio_(audio), fault_(fault) {}

void Demuxer::stop() {
    worker_.stop();
}

void Demuxer::interrupt() {
    { std::lock_guard lock(mutex_); }  // a waiter between its check and its wait sees the stop
    file_.interrupt();
    wake_.notify_all();
}

void Demuxer::seek(int generation, double target) {
    {
        std::lock_guard lock(mutex_);
        pending_ = SeekRequest{generation, target};
    }
    wake_.notify_all();
}

bool Demuxer::queuesFull() const {
    const std::size_t bytes = (video_ ? video_->bytes() : 0) + (audio_ ? audio_->bytes() : 0);
    if (bytes > kMaxBytes) return true;
    // Full only when every stream has enough, so that a starving decoder is always fed.
    return (!video_ || video_->count() >= kEnoughPackets) &&
           (!audio_ || audio_->count() >= kEnoughPackets);
}

void Demuxer::pushEnd(int generation) {
    for (PacketQueue* queue : {video_, audio_}) {
        if (queue == nullptr) continue;
        PacketItem end;
        end.kind = PacketItem::Kind::End;
        end.generation = generation;
        queue->push(std::move(end));
    }
}

// The end of what could be read is the end of the recording, unless the storage failed
// or stopped answering, or the file shrank since it was opened (cut short on disk while it
// plays).
void Demuxer::checkWhyReadingEnded() {
    if (worker_.stopping()) return;  // teardown interrupts the reads
    if (file_.storageStalled()) {
        fault_.report("The storage stopped answering while the recording played");
        return;
    }
    const AVIOContext* io = file_.format()->pb;
    if (io->error < 0 && io->error != AVERROR_EOF) {
        fault_.report("The recording could not be read any further");
        return;
    }
    const std::int64_t size = avio_size(file_.format()->pb);
    if (size >= 0 && size < file_.openedSize())
        fault_.report("The recording was cut short while it played");
}

void Demuxer::performSeek(const SeekRequest& request) {
    generation_ = request.generation;
    AVFormatContext* format = file_.format();
    const std::int64_t ts = file_.toTimestamp(request.target);
    // A key frame at or before the target; files without an index are searched, and
    // as a last resort any frame near it will do.
    if (avformat_seek_file(format, -1, INT64_MIN, ts, ts, 0) < 0 &&
        av_seek_frame(format, -1, ts, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(format, -1, ts, AVSEEK_FLAG_ANY) < 0) {
        const std::int64_t size = avio_size(format->pb);
        const double duration = file_.duration();
        if (size > 0 && duration > 0) {
            const double share = std::clamp(request.target / duration, 0.0, 1.0);
            av_seek_frame(format, -1, static_cast<std::int64_t>(share * static_cast<double>(size)),
                          AVSEEK_FLAG_BYTE);
        }
    }
    if (video_) video_->flush(request.generation, request.target);
    if (audio_) audio_->flush(request.generation, request.target);
}

void Demuxer::run() {
    PacketHandle packet = makePacket();
    PacketReader reader(file_.format());
    bool ended = false;
    for (;;) {
        std::optional<SeekRequest> request;
        {
            std::unique_lock lock(mutex_);
            const auto called = [this] { return worker_.stopping() || pending_.has_value(); };
            // After the end only a seek or a stop brings work; full queues drain at the
            // pace of playback, and hold seconds of it.
            if (ended) {
                wake_.wait(lock, called);
            } else if (queuesFull()) {
                wake_.wait_for(lock, 40ms, called);
            }
            if (worker_.stopping()) return;
            request.swap(pending_);
        }
        if (request) {
            performSeek(*request);
            ended = false;
            continue;
        }
        if (ended || queuesFull()) continue;
        if (!reader.next(packet.get())) {
            checkWhyReadingEnded();
            pushEnd(generation_);
            ended = true;
            continue;
        }
        PacketQueue* queue = packet->stream_index == file_.videoIndex()   ? video_
                             : packet->stream_index == file_.audioIndex() ? audio_
                                                                          : nullptr;
        if (queue == nullptr) {
            av_packet_unref(packet.get());
            continue;
        }
        PacketItem item;
        item.generation = generation_;
        item.packet = makePacket();
        av_packet_move_ref(item.packet.get(), packet.get());
        queue->push(std::move(item));
    }
}

}  // namespace corvid
