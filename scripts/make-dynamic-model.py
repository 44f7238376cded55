"""Makes a fully convolutional ONNX model accept any input height and width.

The exported file declares fixed sizes (e.g. 1x3x416x416), which ONNX Runtime enforces; its graph
derives every shape from the input. Only the declared shapes are rewritten: the input's height and
width become the named dimensions "height" and "width", every output dimension but the batch
becomes unknown, and the stored shape annotations of inner values are dropped. Weights and nodes
are unchanged, and the result is the same bytes on every run.
Usage: /usr/bin/python3 scripts/make-dynamic-model.py IN.onnx OUT.onnx   (needs python3-onnx)
"""
import sys

import onnx

source, target = sys.argv[1], sys.argv[2]
model = onnx.load(source)
for dim, name in zip(model.graph.input[0].type.tensor_type.shape.dim[2:], ["height", "width"]):
    dim.Clear()
    dim.dim_param = name
for output in model.graph.output:
    for dim in output.type.tensor_type.shape.dim[1:]:
        dim.Clear()
del model.graph.value_info[:]
onnx.checker.check_model(model)
onnx.save(model, target)
