// Placeholder until this layer has sources of its own.
namespace { [[maybe_unused]] int kdu_platform_sim_placeholder = 0; }
