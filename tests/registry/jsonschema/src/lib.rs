//! `draft202012::new`, `Validator::iter_errors` and `ValidationError::instance_path`, backed by
//! the Python validator. A schema that does not compile is an error of `new`, as in the real
//! crate; a validator that cannot run at all panics, so a broken setup never passes a test.

use std::fmt;
use std::io::Write;
use std::process::{Command, Stdio};

use serde_json::Value;

const PYTHON: &str = r#"
import json, sys
import jsonschema
schema, instance = json.load(sys.stdin)
cls = jsonschema.Draft202012Validator
try:
    cls.check_schema(schema)
except jsonschema.SchemaError as e:
    print(json.dumps([["", "invalid schema: " + e.message]]))
    sys.exit(0)
errors = [["/" + "/".join(str(p) for p in e.absolute_path) if e.absolute_path else "", e.message]
          for e in cls(schema).iter_errors(instance)]
print(json.dumps(errors))
"#;

#[derive(Debug, Clone)]
pub struct ValidationError {
    message: String,
    instance_path: String,
}

impl ValidationError {
    pub fn instance_path(&self) -> &str {
        &self.instance_path
    }
}

impl fmt::Display for ValidationError {
    fn fmt(&self, f: &mut fmt::Formatter<'_>) -> fmt::Result {
        f.write_str(&self.message)
    }
}

impl std::error::Error for ValidationError {}

pub struct Validator {
    schema: Value,
}

impl Validator {
    pub fn iter_errors(&self, instance: &Value) -> impl Iterator<Item = ValidationError> {
        validate(&self.schema, instance).into_iter()
    }

    pub fn is_valid(&self, instance: &Value) -> bool {
        validate(&self.schema, instance).is_empty()
    }
}

pub mod draft202012 {
    use super::{ValidationError, Validator, validate};
    use serde_json::Value;

    pub fn new(schema: &Value) -> Result<Validator, ValidationError> {
        match validate(schema, &Value::Null).into_iter().find(|e| e.message.starts_with("invalid schema: ")) {
            Some(error) => Err(error),
            None => Ok(Validator { schema: schema.clone() }),
        }
    }
}

fn validate(schema: &Value, instance: &Value) -> Vec<ValidationError> {
    let python = if std::path::Path::new("/usr/bin/python3").exists() { "/usr/bin/python3" } else { "python3" };
    let mut child = Command::new(python)
        .args(["-c", PYTHON])
        .stdin(Stdio::piped())
        .stdout(Stdio::piped())
        .spawn()
        .expect("python3 runs the stand-in validator");
    let input = serde_json::to_vec(&(schema, instance)).expect("schema and instance serialize");
    child.stdin.take().expect("stdin is piped").write_all(&input).expect("python3 reads its input");
    let output = child.wait_with_output().expect("python3 finishes");
    assert!(output.status.success(), "python3-jsonschema failed: {}", output.status);
    let pairs: Vec<(String, String)> =
        serde_json::from_slice(&output.stdout).expect("the validator prints a JSON list");
    pairs
        .into_iter()
        .map(|(instance_path, message)| ValidationError { message, instance_path })
        .collect()
}
