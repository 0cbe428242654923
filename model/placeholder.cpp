// Placeholder until this layer has sources of its own.
namespace { [[maybe_unused]] int kdu_model_placeholder = 0; }
