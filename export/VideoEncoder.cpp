#include "export/VideoEncoder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "export/GifPalette.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/imgutils.h>
#include <libavutil/opt.h>
#include <libswscale/swscale.h>
}

namespace tarsel {

namespace {

std::string AvError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

struct FormatChoice {
    const char* Muxer;
    const char* Encoder;
    AVPixelFormat PixelFormat;
};

FormatChoice ChoiceOf(MovieFormat format) {
    switch (format) {
        case MovieFormat::Mp4:
            return {"mp4", "libx264", AV_PIX_FMT_YUV420P};
        case MovieFormat::WebM:
            return {"webm", "libvpx-vp9", AV_PIX_FMT_YUV420P};
        case MovieFormat::Gif:
            return {"gif", "gif", AV_PIX_FMT_PAL8};
        default:
            return {"image2", "png", AV_PIX_FMT_RGB24};
    }
}

class VideoEncoder : public MovieWriter {
  public:
    VideoEncoder(std::string path, MovieFormat format, const MovieSettings& settings)
        : path_(std::move(path)), format_(format), settings_(settings), choice_(ChoiceOf(format)) {}

    ~VideoEncoder() override { Release(); }

    // The container and the file; the encoder is opened by the first frame, which sets the size.
    bool Open(std::string* problem) {
        codecType_ = avcodec_find_encoder_by_name(choice_.Encoder);
        if (codecType_ == nullptr) {
            *problem = std::string("this FFmpeg has no ") + choice_.Encoder + " encoder, which " +
                       (format_ == MovieFormat::PngSeries ? ".png" : MovieEnding(format_)) +
                       " movies need";
            return false;
        }
        int r = avformat_alloc_output_context2(&muxer_, nullptr, choice_.Muxer, path_.c_str());
        if (r < 0 || muxer_ == nullptr) {
            *problem = "can't set up the " + std::string(choice_.Muxer) + " file: " + AvError(r);
            return false;
        }
        if ((muxer_->oformat->flags & AVFMT_NOFILE) == 0) {
            r = avio_open(&muxer_->pb, path_.c_str(), AVIO_FLAG_WRITE);
            if (r < 0) {
                *problem = AvError(r);
                return false;
            }
        }
        packet_ = av_packet_alloc();
        frame_ = av_frame_alloc();
        return packet_ != nullptr && frame_ != nullptr;
    }

    std::uint32_t Append(const DibBitmap& frame) override {
        if (frame.Empty()) return AVIERR_BADPARAM;
        if (failed_) return AVIERR_ERROR;
        if (!headerWritten_) {
            if (!Start(frame.Width(), frame.Height())) return AVIERR_FILEWRITE;
        } else if (frame.Width() != width_ || frame.Height() != height_) {
            return AVIERR_BADSIZE;
        }
        int r = av_frame_make_writable(frame_);
        if (r < 0) return Fail(r);
        Convert(frame);
        frame_->pts = frames_;
        r = avcodec_send_frame(codec_, frame_);
        if (r < 0) return Fail(r);
        ++frames_;
        return Drain() ? AVIERR_OK : AVIERR_FILEWRITE;
    }

    std::uint32_t Close(std::string* problem) override {
        closing_ = true;
        std::string why;
        if (headerWritten_) {
            if (!failed_) {
                const int r = avcodec_send_frame(codec_, nullptr);
                if (r < 0) Fail(r);
                if (!failed_) Drain();
            }
            // Also after a failure: what the muxer can still complete it completes.
            const int r = av_write_trailer(muxer_);
            if (r < 0 && !failed_) Fail(r);
            if (!failed_) trailerWritten_ = true;
        }
        if (muxer_ != nullptr && muxer_->pb != nullptr) {
            const int r = avio_closep(&muxer_->pb);
            if (r < 0 && !failed_) Fail(r);
        }
        const bool failedInClose = failed_ && !failedBefore_;
        why = failure_;
        const bool empty = !headerWritten_;
        Release();
        // A movie that never got a frame has no stream a player takes.
        struct stat st {};
        if (empty && format_ != MovieFormat::PngSeries && ::lstat(path_.c_str(), &st) == 0 &&
            S_ISREG(st.st_mode) && st.st_size == 0) {
            ::unlink(path_.c_str());
        }
        if (failedInClose) {
            if (problem != nullptr) *problem = why;
            return AVIERR_FILEWRITE;
        }
        return AVIERR_OK;
    }

    std::int32_t FrameCount() const override { return frames_; }
    std::int32_t FramesKept() const override {
        // An MP4 or WebM cut short lacks the index its end would have carried.
        if (format_ == MovieFormat::Mp4 || format_ == MovieFormat::WebM)
            return trailerWritten_ ? frames_ : 0;
        return packetsWritten_;
    }
    std::string Failure() const override { return failure_; }

  private:
    std::uint32_t Fail(int code) {
        if (!failed_) failure_ = AvError(code);
        failed_ = true;
        if (!closing_) failedBefore_ = true;
        return AVIERR_FILEWRITE;
    }

    bool Start(int width, int height) {
        width_ = width;
        height_ = height;
        const bool yuv = choice_.PixelFormat == AV_PIX_FMT_YUV420P;
        encodedWidth_ = yuv ? (width + 1) / 2 * 2 : width;
        encodedHeight_ = yuv ? (height + 1) / 2 * 2 : height;
        codec_ = avcodec_alloc_context3(codecType_);
        if (codec_ == nullptr) return Fail(AVERROR(ENOMEM)), false;
        codec_->width = encodedWidth_;
        codec_->height = encodedHeight_;
        codec_->pix_fmt = choice_.PixelFormat;
        codec_->time_base = AVRational{settings_.RateDen, settings_.RateNum};
        codec_->framerate = AVRational{settings_.RateNum, settings_.RateDen};
        if (yuv) {
            // What the conversion below makes: BT.601, limited range; said so players agree.
            codec_->colorspace = AVCOL_SPC_SMPTE170M;
            codec_->color_primaries = AVCOL_PRI_SMPTE170M;
            codec_->color_trc = AVCOL_TRC_SMPTE170M;
            codec_->color_range = AVCOL_RANGE_MPEG;
        }
        if (format_ == MovieFormat::Mp4) {
            // veryfast keeps up with the viewer's 30 ms timer at 800 x 600 on one core.
            av_opt_set(codec_->priv_data, "preset", settings_.Realtime ? "veryfast" : "medium", 0);
            av_opt_set_int(codec_->priv_data, "crf", settings_.Crf >= 0 ? settings_.Crf : 18, 0);
            // Flat areas and sharp edges, as in drawn pictures: about 2 dB more for 15 % more.
            av_opt_set(codec_->priv_data, "tune", "animation", 0);
        } else if (format_ == MovieFormat::WebM) {
            codec_->bit_rate = 0;  // constant quality
            av_opt_set_int(codec_->priv_data, "crf", settings_.Crf >= 0 ? settings_.Crf : 32, 0);
            av_opt_set(codec_->priv_data, "deadline", settings_.Realtime ? "realtime" : "good", 0);
            av_opt_set_int(codec_->priv_data, "cpu-used", settings_.Realtime ? 8 : 4, 0);
            av_opt_set_int(codec_->priv_data, "row-mt", 1, 0);
        }
        if ((muxer_->oformat->flags & AVFMT_GLOBALHEADER) != 0)
            codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
        int r = avcodec_open2(codec_, codecType_, nullptr);
        if (r < 0) return Fail(r), false;
        stream_ = avformat_new_stream(muxer_, nullptr);
        if (stream_ == nullptr) return Fail(AVERROR(ENOMEM)), false;
        r = avcodec_parameters_from_context(stream_->codecpar, codec_);
        if (r < 0) return Fail(r), false;
        stream_->time_base = codec_->time_base;
        stream_->avg_frame_rate = codec_->framerate;
        AVDictionary* options = nullptr;
        // The index at the front: the movie plays while it loads.
        if (format_ == MovieFormat::Mp4) av_dict_set(&options, "movflags", "+faststart", 0);
        r = avformat_write_header(muxer_, &options);
        av_dict_free(&options);
        if (r < 0) return Fail(r), false;
        headerWritten_ = true;

        frame_->format = choice_.PixelFormat;
        frame_->width = encodedWidth_;
        frame_->height = encodedHeight_;
        r = av_frame_get_buffer(frame_, 0);
        if (r < 0) return Fail(r), false;
        picture_.assign(3 * static_cast<std::size_t>(encodedWidth_) * encodedHeight_, 0);
        // The padding keeps its colour; the frames overwrite the rest.
        for (std::size_t i = 0; i < picture_.size(); i += 3) {
            picture_[i] = static_cast<std::uint8_t>(settings_.Pad.B);
            picture_[i + 1] = static_cast<std::uint8_t>(settings_.Pad.G);
            picture_[i + 2] = static_cast<std::uint8_t>(settings_.Pad.R);
        }
        if (choice_.PixelFormat != AV_PIX_FMT_PAL8) {
            scaler_ = sws_getContext(encodedWidth_, encodedHeight_, AV_PIX_FMT_BGR24, encodedWidth_,
                                     encodedHeight_, choice_.PixelFormat,
                                     SWS_BICUBIC | SWS_ACCURATE_RND | SWS_FULL_CHR_H_INP, nullptr,
                                     nullptr, nullptr);
            if (scaler_ == nullptr) return Fail(AVERROR(EINVAL)), false;
        }
        return true;
    }

    // The bottom-up padded rows of the frame into the picture, then into the encoder's format.
    void Convert(const DibBitmap& frame) {
        const std::size_t stride = 3 * static_cast<std::size_t>(encodedWidth_);
        for (int y = 0; y < height_; ++y)
            std::memcpy(picture_.data() + y * stride, frame.Row(y), 3 * std::size_t(width_));
        if (scaler_ != nullptr) {
            const std::uint8_t* source[1] = {picture_.data()};
            const int sourceStride[1] = {static_cast<int>(stride)};
            sws_scale(scaler_, source, sourceStride, 0, encodedHeight_, frame_->data,
                      frame_->linesize);
        } else {
            ToPalette(picture_.data(), static_cast<std::ptrdiff_t>(stride), encodedWidth_,
                      encodedHeight_, frame_->data[0], frame_->linesize[0],
                      reinterpret_cast<std::uint32_t*>(frame_->data[1]));
        }
    }

    // Whatever packets the encoder has ready, into the file.
    bool Drain() {
        for (;;) {
            int r = avcodec_receive_packet(codec_, packet_);
            if (r == AVERROR(EAGAIN) || r == AVERROR_EOF) return true;
            if (r < 0) return Fail(r), false;
            av_packet_rescale_ts(packet_, codec_->time_base, stream_->time_base);
            packet_->stream_index = stream_->index;
            r = av_interleaved_write_frame(muxer_, packet_);
            if (r < 0) return Fail(r), false;
            ++packetsWritten_;
        }
    }

    void Release() {
        if (muxer_ != nullptr && muxer_->pb != nullptr) avio_closep(&muxer_->pb);
        avformat_free_context(muxer_);
        muxer_ = nullptr;
        avcodec_free_context(&codec_);
        av_frame_free(&frame_);
        av_packet_free(&packet_);
        sws_freeContext(scaler_);
        scaler_ = nullptr;
    }

    std::string path_;
    MovieFormat format_;
    MovieSettings settings_;
    FormatChoice choice_;
    const AVCodec* codecType_ = nullptr;
    AVFormatContext* muxer_ = nullptr;
    AVCodecContext* codec_ = nullptr;
    AVStream* stream_ = nullptr;
    AVFrame* frame_ = nullptr;
    AVPacket* packet_ = nullptr;
    SwsContext* scaler_ = nullptr;
    std::vector<std::uint8_t> picture_;  // top-down blue-green-red rows of the encoded size
    int width_ = 0, height_ = 0, encodedWidth_ = 0, encodedHeight_ = 0;
    std::int32_t frames_ = 0;
    std::int32_t packetsWritten_ = 0;
    bool failed_ = false;
    bool failedBefore_ = false;  // a frame's write failed, and Append said so
    bool closing_ = false;
    bool headerWritten_ = false;
    bool trailerWritten_ = false;
    std::string failure_;
};

}  // namespace

std::unique_ptr<MovieWriter> OpenVideoEncoder(const std::string& path, MovieFormat format,
                                              const MovieSettings& settings, std::string* problem) {
    av_log_set_level(AV_LOG_ERROR);
    auto encoder = std::make_unique<VideoEncoder>(path, format, settings);
    std::string why;
    if (!encoder->Open(&why)) {
        if (problem != nullptr) *problem = why;
        return nullptr;
    }
    return encoder;
}

}  // namespace tarsel
