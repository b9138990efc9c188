#include "audio/wave_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace audio {

using platform::WaveBuffer;

void ManualResetEvent::Set() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  changed_.notify_all();
}

void ManualResetEvent::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
}

bool ManualResetEvent::WaitFor(std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, timeout, [this] { return signalled_; });
}

namespace {

int BufferSize(int durationMs, const PcmFormat& f) {
  return static_cast<int>(static_cast<long long>(durationMs) * f.averageBytesPerSecond / 1000);
}

platform::WaveFormat ToDevice(const PcmFormat& f) {
  return {f.channels, f.samplesPerSecond, f.bitsPerSample};
}

std::unique_ptr<std::uint8_t[]> ZeroBlock(std::size_t n) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[n]());
}

void PointHeaders(std::array<WaveBuffer, WaveStream::kBuffers>& headers, std::uint8_t* block,
                  int size) {
  for (int i = 0; i < WaveStream::kBuffers; ++i)
    headers[static_cast<std::size_t>(i)] =
        WaveBuffer{block + static_cast<std::size_t>(i) * static_cast<std::size_t>(size),
                   static_cast<std::size_t>(size)};
}

}  // namespace

bool WaveStream::Failed(const char* side, const std::string& why) {
  lastFailure_ = std::string(side) + ": " + why;
  return false;
}

WaveStream::WaveStream(int bufferDurationMs) : bufferDuration_(bufferDurationMs) {
  inputBufferSize_ = BufferSize(bufferDuration_, inputFormat_);
  outputBufferSize_ = BufferSize(bufferDuration_, outputFormat_);
}

WaveStream::~WaveStream() {
  // Devices first: their callbacks reach into this object until they close.
  outputDevice_.reset();
  CloseInput();
}

bool WaveStream::SetInputNotify(WaveNotifySink* target, int message) {
  inputNotify_ = target;
  inputNotifyMessage_ = message;
  return true;
}

bool WaveStream::SetOutputNotify(WaveNotifySink* target, int message) {
  outputNotify_ = target;
  outputNotifyMessage_ = message;
  return true;
}

// --- input ---------------------------------------------------------------------

bool WaveStream::StartInput() {
  if (!inputDevice_) return Failed("input", "no device is open");
  if (base::Outcome r = inputDevice_->Start(); !r.ok()) return Failed("input", r.message());
  inputFlowing_ = true;
  return true;
}

bool WaveStream::StopInput() {
  inputFlowing_ = false;
  return inputDevice_ && inputDevice_->Stop().ok();
}

void WaveStream::CloseInput() {
  if (!inputDevice_) return;
  inputDevice_->Reset();
  for (auto& h : inputHeaders_) inputDevice_->Unprepare(h);
  inputDevice_.reset();
  inputBlock_.reset();
}

bool WaveStream::OpenInput(const char* id) {
  CloseInput();
  inputData_.Reset();
  inputRead_ = 0;
  inputDone_ = 0;
  lastInputEndNs_ = 0;
  if (inputBufferSize_ == 0 || bufferDuration_ == 0) return false;
  if (!id) return true;

  const int device = std::atoi(id);
  if (base::Outcome r = platform::WaveIn::Query(device, ToDevice(inputFormat_)); !r.ok())
    return Failed("input", r.message());
  const auto size = static_cast<std::size_t>(inputBufferSize_);
  inputBlock_ = ZeroBlock(kBuffers * size);
  if (!inputBlock_) return false;
  auto opened = platform::WaveIn::Open(device, ToDevice(inputFormat_),
                                       [this](WaveBuffer& h) { OnInputDone(h); });
  if (!opened.ok()) {
    inputBlock_.reset();
    return Failed("input", opened.message());
  }
  inputDevice_ = std::move(opened).value();
  PointHeaders(inputHeaders_, inputBlock_.get(), inputBufferSize_);
  // Four buffers with the device, the fifth the spare.
  for (int i = 0; i < kQueued; ++i) {
    if (!Requeue(inputHeaders_[static_cast<std::size_t>(i)])) {
      for (int j = 0; j <= i; ++j) inputDevice_->Unprepare(inputHeaders_[static_cast<std::size_t>(j)]);
      return false;
    }
  }
  inputData_.Reset();
  inputRead_ = 0;
  inputDone_ = 0;
  return true;
}

bool WaveStream::Requeue(WaveBuffer& header) {
  return inputDevice_->Prepare(header).ok() &&
         inputDevice_->Add(header).ok();
}

void WaveStream::OnInputDone(WaveBuffer& header) {
  header.recorded = 0;  // drains always take whole buffers
  const std::uint32_t done = ++inputDone_;
  inputFlowing_ = done - inputRead_ < static_cast<std::uint32_t>(kQueued);
  WaveNotifySink* target = inputNotify_;
  const int message = inputNotifyMessage_;
  if (target && message) target->PostWaveMessage(message);
  inputData_.Set();
}

std::uint32_t WaveStream::Completed() const {
  const std::uint32_t pending = inputDone_ - inputRead_;  // later completions wait for the next drain
  // Only four buffers are ever with the device, so no more can be complete.
  return std::min(pending, static_cast<std::uint32_t>(kQueued));
}

bool WaveStream::ReadInput(SampleBuffer* buffer) {
  if (!buffer || !inputDevice_) return false;
  const std::uint32_t buffers = Completed();
  if (buffers == 0) return false;
  const auto size = static_cast<std::size_t>(inputBufferSize_);
  buffer->SetSampleRate(inputFormat_.samplesPerSecond);
  buffer->SetBitsPerSample(inputFormat_.bitsPerSample);
  buffer->SetSampleCount(
      static_cast<int>(buffers * size / static_cast<std::size_t>(inputFormat_.bitsPerSample / 8)));
  std::uint8_t* out = buffer->data();
  return Drain(buffers, [&](std::span<const std::uint8_t> bytes, std::int64_t) {
    std::memcpy(out, bytes.data(), bytes.size());
    out += bytes.size();
  });
}

bool WaveStream::DrainInput(const InputTaker& take) {
  if (!inputDevice_) return false;
  const std::uint32_t buffers = Completed();
  return buffers != 0 && Drain(buffers, take);
}

bool WaveStream::Drain(std::uint32_t buffers, const InputTaker& take) {
  const std::uint32_t read = inputRead_;
  const std::uint32_t end = read + buffers;
  inputData_.Reset();
  const auto size = static_cast<std::size_t>(inputBufferSize_);
  for (std::uint32_t i = read; i != end; ++i) {
    WaveBuffer& h = inputHeaders_[i % kBuffers];
    // Done with the device (taken under its lock, which also hands over what
    // the device thread wrote into the buffer).
    if (!inputDevice_->Unprepare(h).ok()) return false;
    take({h.data, size}, h.capturedEndNs);
    lastInputEndNs_ = h.capturedEndNs;
    // The buffer drained one step earlier (the spare at first) goes back to
    // the device, and this one becomes the spare until the next step: its
    // bytes stay as they are while `take` and the next one look at them. A
    // device that went away refuses it; what was already recorded is still
    // delivered.
    Requeue(inputHeaders_[(i + kQueued) % kBuffers]);
  }
  inputRead_ = end;
  inputFlowing_ = true;
  return true;
}

// --- formats --------------------------------------------------------------------

bool WaveStream::SetInputFormat(FormatRequest* request, const char* id) {
  return NegotiateFormat(request, id, true);
}

bool WaveStream::SetOutputFormat(FormatRequest* request, const char* id) {
  return NegotiateFormat(request, id, false);
}

bool WaveStream::NegotiateFormat(FormatRequest* request, const char* id, bool input) {
  const bool allocated = input ? inputBlock_ != nullptr : outputBlock_ != nullptr;
  if (!request || !id || allocated || request->kind != 0) return false;
  const platform::WaveFormat wanted{request->channels, request->samplesPerSecond,
                                    request->bitsPerSample};
  const int device = std::atoi(id);
  const base::Outcome r = input ? platform::WaveIn::Query(device, wanted)
                               : platform::WaveOut::Query(device, wanted);
  PcmFormat& format = input ? inputFormat_ : outputFormat_;
  if (r.Is(platform::WaveError::kBadFormat)) {
    // Tell the caller what the side uses now.
    *request = {0, format.channels, format.samplesPerSecond, format.bitsPerSample};
    return false;
  }
  if (!r.ok()) {
    *request = {};
    return false;
  }
  format.channels = request->channels;
  format.samplesPerSecond = request->samplesPerSecond;
  format.bitsPerSample = request->bitsPerSample;
  format.blockAlign = request->channels * request->bitsPerSample / 8;
  format.averageBytesPerSecond = request->samplesPerSecond * request->bitsPerSample / 8;
  (input ? inputBufferSize_ : outputBufferSize_) = BufferSize(bufferDuration_, format);
  return true;
}

// --- output -------------------------------------------------------------------

void WaveStream::OnOutputDone(WaveBuffer&) {
  const std::uint32_t done = ++outputDone_;
  if (outputMode_ == 1)
    outputFlowing_ = done - outputWritten_ <= 3;
  else
    outputFlowing_ = false;
  WaveNotifySink* target = outputNotify_;
  const int message = outputNotifyMessage_;
  if (target && message) target->PostWaveMessage(message);
  outputRoom_.Set();
}

bool WaveStream::OpenOutput(const char* id) {
  StopOutput();
  outputDevice_.reset();
  outputWritten_ = 0;
  outputDone_ = 0;
  if (!id) return true;
  auto opened = platform::WaveOut::Open(std::atoi(id), ToDevice(outputFormat_),
                                        [this](WaveBuffer& h) { OnOutputDone(h); });
  if (!opened.ok()) return Failed("output", opened.message());
  outputDevice_ = std::move(opened).value();
  return true;
}

bool WaveStream::StopOutput() {
  outputFlowing_ = false;
  if (!outputDevice_) return true;
  bool ok = outputDevice_->Reset().ok();
  for (auto& h : outputHeaders_)
    if (h.data && !outputDevice_->Unprepare(h).ok()) ok = false;
  if (wholeHeader_.data && !outputDevice_->Unprepare(wholeHeader_).ok()) ok = false;
  outputBlock_.reset();
  outputSpare_.reset();
  wholeBlock_.reset();
  outputHeaders_ = {};
  wholeHeader_ = {};
  return ok;
}

bool WaveStream::StartOutput() {
  StopOutput();
  if (outputBufferSize_ == 0 || !outputDevice_) return false;
  const auto size = static_cast<std::size_t>(outputBufferSize_);
  outputBlock_ = ZeroBlock(kBuffers * size);
  outputSpare_ = ZeroBlock(kBuffers * size + 1);
  if (!outputBlock_ || !outputSpare_) return false;
  PointHeaders(outputHeaders_, outputBlock_.get(), outputBufferSize_);
  outputMode_ = 1;
  // One buffer of silence primes the device; the done counter starts three
  // ahead so that three buffers of room are free from the start.
  outputWritten_ = 0;
  outputDone_ = 3;
  WaveBuffer& prime = outputHeaders_[3];
  if (!outputDevice_->Prepare(prime).ok() ||
      !outputDevice_->Add(prime).ok())
    return false;
  outputRoom_.Set();
  outputFlowing_ = true;
  return true;
}

bool WaveStream::WriteOutput(const SampleBuffer* buffer) {
  if (!buffer || !outputDevice_ || !outputBlock_ || !buffer->data() ||
      buffer->bitsPerSample() != outputFormat_.bitsPerSample ||
      buffer->sampleRate() != outputFormat_.samplesPerSecond)
    return false;
  const std::size_t bytes = buffer->ByteSize();
  const auto size = static_cast<std::size_t>(outputBufferSize_);
  const std::uint32_t written = outputWritten_;
  const std::size_t room = (outputDone_ - written) * size;
  if (bytes == 0 || bytes > room) return false;
  // Whole buffers only: a remainder is not played.
  const std::uint32_t n = static_cast<std::uint32_t>(bytes / size);
  for (std::uint32_t k = 0; k < n; ++k) {
    if (!outputDevice_->Unprepare(outputHeaders_[(written + k) % kBuffers]).ok())
      return false;
    WaveBuffer& h = outputHeaders_[(written + k + 4) % kBuffers];
    std::memcpy(h.data, buffer->data() + k * size, size);
    if (!outputDevice_->Prepare(h).ok() || !outputDevice_->Add(h).ok())
      return false;
    outputWritten_ = written + k + 1;
  }
  if (outputWritten_ == outputDone_) outputRoom_.Reset();
  outputFlowing_ = true;
  return true;
}

bool WaveStream::GetOutputRoom(int* samples) {
  if (samples)
    *samples = static_cast<int>((outputDone_ - outputWritten_) *
                                static_cast<std::uint32_t>(outputBufferSize_) /
                                static_cast<std::uint32_t>(outputFormat_.bitsPerSample / 8));
  return true;
}

bool WaveStream::PauseOutput() {
  outputFlowing_ = false;
  return !outputDevice_ || outputDevice_->Stop().ok();
}

bool WaveStream::RestartOutput() {
  if (outputDevice_ && !outputDevice_->Start().ok()) return false;
  outputFlowing_ = true;
  return true;
}

bool WaveStream::PlayWhole(const SampleBuffer* buffer) {
  StopOutput();
  // Gives the server a moment to let go of what was flushed.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  if (!outputDevice_ || !buffer || !buffer->data() || buffer->ByteSize() == 0) return false;
  const std::size_t bytes = buffer->ByteSize();
  wholeBlock_ = ZeroBlock(bytes);
  if (!wholeBlock_) return false;
  std::memcpy(wholeBlock_.get(), buffer->data(), bytes);
  wholeHeader_ = WaveBuffer{wholeBlock_.get(), bytes};
  outputMode_ = 2;
  if (!outputDevice_->Prepare(wholeHeader_).ok() ||
      !outputDevice_->Add(wholeHeader_).ok())
    return false;
  outputFlowing_ = true;
  return true;
}

}  // namespace audio
