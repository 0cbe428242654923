// Placeholder until this layer has sources of its own.
namespace { [[maybe_unused]] int kdu_drive_placeholder = 0; }
