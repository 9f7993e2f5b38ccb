// Runs the Khronos glTF validator over the ship (or the GLB given as the
// first argument) and prints its issues. Exit status: 0 no errors, 1 errors,
// 2 the validator or the file could not be loaded.
//
// The validator package is looked up next to this script (tools/node_modules)
// or, when GLTF_VALIDATOR_DIR is set, in that npm prefix.
import { readFileSync } from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const file = process.argv[2] ?? path.join(here, '..', 'data', 'ship.glb');

function loadValidator() {
    const places = [];
    if (process.env.GLTF_VALIDATOR_DIR) places.push(path.join(process.env.GLTF_VALIDATOR_DIR, 'package.json'));
    places.push(path.join(here, 'package.json'));
    for (const place of places) {
        try {
            return createRequire(place)('gltf-validator');
        } catch {
            // try the next place
        }
    }
    return null;
}

const validator = loadValidator();
if (validator === null) {
    console.error('validate_ship: the gltf-validator package is not installed');
    process.exit(2);
}

let bytes;
try {
    bytes = new Uint8Array(readFileSync(file));
} catch (error) {
    console.error(`validate_ship: cannot read ${file}: ${error.message}`);
    process.exit(2);
}

const severities = ['Error', 'Warning', 'Info', 'Hint'];
try {
    const report = await validator.validateBytes(bytes, { uri: path.basename(file), maxIssues: 0 });
    const issues = report.issues;
    console.log(`${file}: validator ${report.validatorVersion}`);
    console.log(`errors ${issues.numErrors}, warnings ${issues.numWarnings}, infos ${issues.numInfos}, hints ${issues.numHints}`);
    for (const message of issues.messages) {
        console.log(`  ${severities[message.severity] ?? message.severity} ${message.code} ${message.pointer ?? ''}: ${message.message}`);
    }
    const info = report.info ?? {};
    console.log(`  meshes ${info.meshCount ?? '?'}, materials ${info.materialCount ?? '?'}, ` +
                `triangles ${info.totalTriangleCount ?? '?'}, vertices ${info.totalVertexCount ?? '?'}`);
    process.exit(issues.numErrors > 0 ? 1 : 0);
} catch (error) {
    console.error(`validate_ship: validation failed: ${error}`);
    process.exit(2);
}
