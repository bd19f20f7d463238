// fclib-editor: the formula editor, the sample-data preview and the explanation of a record.
export { createFormulaEditor, typeWords, signature } from "./editor.js";
export { parseCsv, columnType, sampleFromCsv, fieldTypes, cellValue, runPreview, explainRecord } from "./sample.js";
export { languageDocs, docFor, examplesOf } from "./docs.js";
