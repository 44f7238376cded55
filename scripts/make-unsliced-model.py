"""Takes the input slicing out of a YOLOX model: the model then reads the picture as 12 planes.

YOLOX's first step cuts the picture into four interleaved sub-images, each taking every second row
and column, and stacks them as channels before the first convolution: eight Slice nodes and a
Concat. Here that Concat's output becomes the model's input, named "planes", of shape
1 x 12 x height/2 x width/2: the B, G, R planes of the pixels at (even row, even column), then
(odd row, even column), (even row, odd column), (odd row, odd column), the order the Concat stacks
them in (checked here, so that another export order fails instead of giving other numbers). The
Slice nodes, the Concat and their constants go; every other node and weight is unchanged, and
the result is the same bytes on every run.
Usage: /usr/bin/python3 scripts/make-unsliced-model.py IN.onnx OUT.onnx   (needs python3-onnx)
"""
import sys

import onnx
from onnx import numpy_helper

INT64_MAX = 2**63 - 1

source, target = sys.argv[1], sys.argv[2]
model = onnx.load(source)
graph = model.graph
picture = graph.input[0].name
constants = {t.name: numpy_helper.to_array(t).tolist() for t in graph.initializer}
producer = {out: node for node in graph.node for out in node.output}


def fail(message):
    sys.exit(f"make-unsliced-model: {source}: {message}")


def every_second(node, expected_input):
    """The (axis, start) of a Slice taking every second row or column from `expected_input`."""
    if node is None or node.op_type != "Slice" or node.input[0] != expected_input:
        fail(f"expected a Slice of {expected_input}")
    starts, ends, axes, steps = (constants.get(name) for name in node.input[1:5])
    if ends != [INT64_MAX] or steps != [2] or axes not in ([2], [3]) or starts not in ([0], [1]):
        fail(f"{node.name} does not take every second row or column")
    return axes[0], starts[0]


concats = [n for n in graph.node if n.op_type == "Concat" and
           all(producer.get(i) is not None and producer[i].op_type == "Slice" for i in n.input)]
if len(concats) != 1 or len(concats[0].input) != 4:
    fail("expected one Concat of four sliced pictures")
concat = concats[0]
if [a.i for a in concat.attribute if a.name == "axis"] != [1]:
    fail("the sliced pictures are not stacked as channels")

# (row start, column start) of each stacked sub-image, in the Concat's order.
expected_order = [(0, 0), (1, 0), (0, 1), (1, 1)]
removed = [concat]
for index, name in enumerate(concat.input):
    outer = producer[name]
    inner = producer.get(outer.input[0])
    outer_axis, outer_start = every_second(outer, outer.input[0])
    inner_axis, inner_start = every_second(inner, picture)
    if (inner_axis, outer_axis) != (2, 3):
        fail(f"{inner.name}, {outer.name}: expected rows, then columns")
    if (inner_start, outer_start) != expected_order[index]:
        fail(f"sub-image {index} starts at row {inner_start}, column {outer_start}")
    removed += [outer, inner]

users = [n for n in graph.node if n not in removed and
         any(i in (picture, *[r.output[0] for r in removed]) for i in n.input)]
if any(concat.output[0] not in n.input for n in users):
    fail("the picture is used elsewhere than by the slicing")

stacked = concat.output[0]
for node in removed:
    graph.node.remove(node)
for node in users:
    for i, name in enumerate(node.input):
        if name == stacked:
            node.input[i] = "planes"

used = {name for node in graph.node for name in node.input}
for tensor in [t for t in graph.initializer if t.name not in used]:
    graph.initializer.remove(tensor)

planes = onnx.helper.make_tensor_value_info(
    "planes", onnx.TensorProto.FLOAT, [1, 12, "half_height", "half_width"])
graph.input.remove(graph.input[0])
graph.input.insert(0, planes)
onnx.checker.check_model(model)
onnx.save(model, target)
