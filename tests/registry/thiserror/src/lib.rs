//! Re-exports thiserror 1 under the thiserror 2 version, derive included.
pub use thiserror1::*;
